// The "meta" provenance block of the XML files the program writes for itself.
#include "foundation/meta_block.h"

#include <array>

#include <pugixml.hpp>

#include "foundation/day_slots.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/version.h"

std::string g_simulatorName{"MSFS"};

namespace {

struct MetaEntry {
  const std::string& name;
  std::string value;
};

// The simulator entry: "P3D" = "v5/v6", "MSFS" = "2020", anything else "MSFS" = "2024".
MetaEntry lf_simulatorEntry() {
  if (g_simulatorName == g_metaP3d.name) {
    return {g_metaP3d.name, "v5/v6"};
  }
  if (g_simulatorName == g_metaMsfs.name) {
    return {g_metaMsfs.name, "2020"};
  }
  return {g_metaMsfs.name, "2024"};
}

bool lf_appendInfo(pugi::xml_node meta, const MetaEntry& entry) {
  auto info = meta.append_child("info");
  if (!info) {
    return false;
  }
  auto name = info.append_attribute("name");
  if (!name) {
    return false;
  }
  name.set_value(entry.name.c_str());
  auto value = info.append_attribute("value");
  if (!value) {
    return false;
  }
  value.set_value(entry.value.c_str());
  return true;
}

}  // namespace

bool gf_writeMeta(pugi::xml_node node) {
  // A node that cannot take the block is a failure: a caller that went on would write a file
  // its own reader later refuses.
  if (!node || (node.type() != pugi::node_document && node.type() != pugi::node_element)) {
    return false;
  }
  auto meta = node.append_child("meta");
  if (!meta) {
    return false;
  }
  const std::array<MetaEntry, 5> entries{{
      {g_metaAuthor.name, g_programName},
      {g_metaVersion.name, g_version.toString()},
      {g_metaDate.name, gf_dateNow()},
      {g_metaCopyright.name, g_metaCopyright.value()},
      lf_simulatorEntry(),
  }};
  for (const auto& entry : entries) {
    if (!lf_appendInfo(meta, entry)) {
      return false;
    }
  }
  return true;
}

bool gf_readMetaInfo(const pugi::xml_document& document, StringParameter& metaObject) {
  const std::string xpath = "/meta/info[@name='" + metaObject.name + "']";
  const auto found = document.select_node(xpath.c_str());
  if (!found) {
    metaObject.setValue("");
    return false;
  }
  metaObject.setValue(found.node().attribute("value").value());
  return true;
}

bool gf_checkMeta(const pugi::xml_document& document) {
  if (gf_readMetaInfo(document, g_metaAuthor) && gf_readMetaInfo(document, g_metaDate) &&
      gf_readMetaInfo(document, g_metaVersion)) {
    return true;
  }
  gf_logError("meta data incorrect?");
  return false;
}
