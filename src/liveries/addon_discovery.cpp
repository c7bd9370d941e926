// Discovery of the AI add-on packages in add-ons.cfg, add-on.xml and simobjects.cfg. Worker
// thread, before the scan tasks start.

#include "liveries/addon_discovery.h"

#include <fmt/format.h>

#include <functional>
#include <initializer_list>
#include <string_view>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/registry_lookup.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using Words = std::initializer_list<std::string_view>;

bool lf_containsAny(std::string_view line, Words words) {
  for (std::string_view word : words) {
    if (line.find(word) != std::string_view::npos) return true;
  }
  return false;
}

// Everything behind the first '='; nothing for a line without one.
bool lf_lineValue(const std::string& line, std::string& value) {
  const std::size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  value = line.substr(equals + 1);
  return true;
}

const Words kPathWords = {"Path", "PATH", "path"};

// Lines of sections headed by a line holding a header word; lines holding a skip word are left
// out; each finished section's lines go to the handler.
void lf_readSections(const std::vector<std::string>& lines, Words headerWords, Words skipWords,
                     const std::function<void(const std::string&)>& pathHandler) {
  bool inSection = false;
  std::vector<std::string> pending;
  const auto flush = [&] {
    for (const std::string& line : pending) pathHandler(line);
    pending.clear();
  };
  for (const std::string& line : lines) {
    if (lf_containsAny(line, headerWords)) {
      inSection = true;
      flush();
    } else if (inSection && !lf_containsAny(line, skipWords)) {
      pending.push_back(line);
    }
  }
  if (inSection) flush();
}

// The "Path" line of an add-ons.cfg package.
void lf_addPathValue(const std::string& line, std::vector<std::string>& packageFolders) {
  std::string value;
  if (!lf_containsAny(line, kPathWords) || !lf_lineValue(line, value)) return;
  gf_log(fmt::format("path found:{}", value));
  packageFolders.push_back(gf_trim(value));
}

// The install folder joined with a relative Windows path text; an absolute text replaces it.
std::string lf_joinInstallPath(const std::string& relative) {
  const bool absolute = (relative.size() >= 2 && relative[1] == ':') ||
                        (!relative.empty() && (relative[0] == '\\' || relative[0] == '/'));
  if (absolute) return relative;
  std::string install = g_paramSimInstallPath.value();
  if (install.empty()) return relative;
  if (install.back() != '\\' && install.back() != '/') install += '\\';
  return install + relative;
}

// The "Path" line of a simobjects.cfg entry.
void lf_simObjectsEntryPath(const std::string& line, std::vector<std::string>& liveryFolders) {
  std::string value;
  if (!lf_containsAny(line, kPathWords) || !lf_lineValue(line, value)) return;
  if (line.find("SimObjects") == std::string::npos) {
    liveryFolders.push_back(gf_trim(value));
    return;
  }
  // The simulator's own object categories hold no AI liveries.
  if (lf_containsAny(line, {"Airplanes", "Avatars", "Rotorcraft", "GroundVehicles", "Boats",
                            "Animals", "Misc", "Submersible", "Weapons", "Countermeasures"})) {
    return;
  }
  liveryFolders.push_back(lf_joinInstallPath(gf_trim(value)));
}

}  // namespace

std::string lf_p3dMajorVersion() {
  const std::string install = g_paramSimInstallPath.value();
  if (install.find("v5") != std::string::npos || install.find("V5") != std::string::npos)
    return "5";
  if (install.find("v6") != std::string::npos || install.find("V6") != std::string::npos)
    return "6";
  return {};
}

fs::path lf_addOnsCfgPath() {
  const fs::path appData = gf_getAppDataPath();
  return gf_resolvePathCase(appData / "Lockheed Martin" / ("Prepar3D v" + lf_p3dMajorVersion()) /
                            "add-ons.cfg");
}

fs::path lf_simObjectsCfgPath() {
  return gf_winPath("C:\\ProgramData\\Lockheed Martin\\Prepar3D v" + lf_p3dMajorVersion() +
                    "\\simobjects.cfg");
}

void lf_readP3DAddOnsAircraft(std::vector<std::string>& liveryFolders) {
  const std::size_t before = liveryFolders.size();
  try {
    const fs::path file = lf_addOnsCfgPath();
    gf_log(fmt::format("\nReading {} for AI add-on packages...", file.string()));
    std::vector<std::string> lines;
    if (!gf_readExtTextFileToStringVector(file, lines)) {
      gf_log(file.string() + " not found!");
    } else {
      std::vector<std::string> packageFolders;
      lf_readSections(lines, {"Package", "PACKAGE"}, {"Required", "REQUIRED"},
                      [&](const std::string& line) { lf_addPathValue(line, packageFolders); });
      for (const std::string& folder : packageFolders) lf_explorePackage(folder, liveryFolders);
    }
    const std::size_t found = liveryFolders.size() - before;
    gf_log(fmt::format("{} AI add-on package{} found", found, gf_plural(found)));
  } catch (const std::exception& e) {
    gf_logError(fmt::format("sys error exception {} in {}, no AI add-on packages found", e.what(),
                            "lf_readP3DAddOnsAircraft"));
  }
}

void lf_explorePackage(const std::string& packageFolder, std::vector<std::string>& liveryFolders) {
  const fs::path file = gf_resolvePathCase(gf_winPath(packageFolder) / "add-on.xml");
  if (!fs::exists(file)) return;
  gf_log(fmt::format("   exploring {}", file.string()));
  std::vector<std::string> lines;
  if (!gf_readExtTextFileToStringVector(file, lines)) {
    gf_log(file.string() + " not found!");
    return;
  }
  bool afterSimObjects = false;
  for (const std::string& line : lines) {
    if (!afterSimObjects) {
      afterSimObjects =
          lf_containsAny(line, {"SimObjects", "SIMOBJECTS", "Simobjects", "simobjects"});
      continue;
    }
    // Only the line right after a SimObjects line can name the folder.
    afterSimObjects = false;
    const std::string path = gf_extractPath(line);
    if (path.empty() || lf_containsAny(path, {"Lights Reborn", "Aerosoft Geneva Professional"})) {
      continue;
    }
    gf_log(fmt::format("      Simobjects found:{}", path));
    liveryFolders.push_back(path);
  }
}

void lf_readP3DSimObjectsCfg(std::vector<std::string>& liveryFolders) {
  const fs::path file = lf_simObjectsCfgPath();
  if (!fs::exists(file)) return;
  const std::size_t before = liveryFolders.size();
  gf_log(fmt::format("\nReading {} for AI add-on packages...", file.string()));
  std::vector<std::string> lines;
  if (!gf_readExtTextFileToStringVector(file, lines)) {
    gf_log(file.string() + " not found!");
  } else {
    lf_readSections(lines, {"Entry", "ENTRY"}, {"Title", "Required"},
                    [&](const std::string& line) { lf_simObjectsEntryPath(line, liveryFolders); });
  }
  gf_log(fmt::format("{} AI add-on packages found", liveryFolders.size() - before));
}
