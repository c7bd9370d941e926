// The Livery record's equality and order, and LiveriesScanned.xml: the catalogue as the scan
// hands it to livery matching. Worker thread.

#include "liveries/livery.h"

#include <fmt/format.h>

#include <filesystem>
#include <pugixml.hpp>
#include <system_error>
#include <tuple>

#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/meta_block.h"
#include "platform/paths.h"

std::list<Livery> g_liveries;

bool Livery::operator==(const Livery& other) const {
  return title == other.title && airl == other.airl && type == other.type && atcid == other.atcid &&
         cargo == other.cargo;
}

bool operator<(const Livery& left, const Livery& right) {
  return std::tie(left.airl, left.type, left.title) < std::tie(right.airl, right.type, right.title);
}

namespace {

void lf_appendLivElement(pugi::xml_node parent, const Livery& livery) {
  pugi::xml_node liv = parent.append_child("liv");
  liv.append_attribute("airl").set_value(livery.airl.c_str());
  liv.append_attribute("type").set_value(livery.type.c_str());
  if (livery.cargo) liv.append_attribute("cargo").set_value("true");
  liv.append_attribute("title").set_value(livery.title.c_str());
  if (!livery.atcid.empty()) liv.append_attribute("atcid").set_value(livery.atcid.c_str());
}

}  // namespace

void gf_writeLiveriesScanned() {
  if (g_liveries.empty()) return;
  pugi::xml_document document;
  gf_writeMeta(document);
  pugi::xml_node liveries = document.append_child("liveries");
  for (const Livery& livery : g_liveries) lf_appendLivElement(liveries, livery);
  gf_saveXml(document, g_liveriesScannedFile);
  gf_log(fmt::format("{} liveries in {}", g_liveries.size(), gf_pathToUtf8(g_liveriesScannedFile)));
}

void lf_readLiveriesScanned() {
  g_liveries.clear();
  const std::string pathText = gf_pathToUtf8(g_liveriesScannedFile);
  pugi::xml_document document;
  if (const pugi::xml_parse_result parsed = document.load_file(g_liveriesScannedFile.c_str());
      !parsed) {
    std::error_code ignored;
    if (!std::filesystem::exists(g_liveriesScannedFile, ignored)) {
      throw qvb::UserErrorException(51, fmt::format("File {} not found", pathText));
    }
    // A damaged catalogue is no missing one: the user needs to know that a scan mends it.
    throw qvb::UserErrorException(
        51, fmt::format("File {} {}; a livery scan rebuilds it: tick \"Scan for liveries\" and "
                        "start again",
                        pathText, gf_xmlLoadProblem(g_liveriesScannedFile, parsed)));
  }
  gf_checkMeta(document);  // a failing test only logs its line; the file is read all the same
  pugi::xml_node liveries = document.child("liveries");
  if (!liveries) {
    throw qvb::UserErrorException(
        52, fmt::format("{} does not contain a <liveries> section", pathText));
  }
  for (pugi::xml_node liv : liveries.children("liv")) {
    Livery livery;
    livery.airl = liv.attribute("airl").value();
    livery.type = liv.attribute("type").value();
    livery.title = liv.attribute("title").value();
    livery.atcid = liv.attribute("atcid").value();
    livery.cargo = liv.attribute("cargo").as_bool();
    g_liveries.push_back(std::move(livery));
  }
  if (g_liveries.empty()) {
    throw qvb::UserErrorException(533, pathText + " does not contain liveries");
  }
  gf_log(fmt::format("{} liveries read from {}", g_liveries.size(), pathText));
  g_liveries.sort();  // std::list::sort is a stable merge sort
}
