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

// The state of a sectioned reader (add-ons.cfg, simobjects.cfg): inside a section once the first
// header has been seen, with the lines of the current section waiting for its end.
struct SectionState {
  bool inSection = false;
  std::vector<std::string> pending;
};

using PathHandler = std::function<void(const std::string&)>;

// Hands the pending lines of the section to the file's Path handler.
void lf_flushSection(SectionState& state, const PathHandler& pathHandler) {
  for (const std::string& line : state.pending) pathHandler(line);
  state.pending.clear();
}

// A header is a line that is one ("[Package.0]"): a Path line holding the word, such as
// PATH=D:\AI\Real Packages, is none and keeps its folder.
bool lf_isHeader(const std::string& line, Words headerWords) {
  const std::string trimmed = gf_trim(line);
  return trimmed.starts_with('[') && trimmed.ends_with(']') && lf_containsAny(trimmed, headerWords);
}

// One line of a sectioned file: a header line starts a section (the section before goes to the
// handler); inside a section every line without a skip word waits.
void lf_sectionLine(const std::string& line, SectionState& state, Words headerWords,
                    Words skipWords, const PathHandler& pathHandler) {
  if (lf_isHeader(line, headerWords)) {
    state.inSection = true;
    lf_flushSection(state, pathHandler);
  } else if (state.inSection && !lf_containsAny(line, skipWords)) {
    state.pending.push_back(line);
  }
}

// After the last line: the open section goes to the handler.
void lf_endSections(SectionState& state, const PathHandler& pathHandler) {
  if (state.inSection) lf_flushSection(state, pathHandler);
}

// The text between the line's first "<Path>" and the "</Path>" after it; nothing when either is
// missing (a path element broken over two lines names no folder).
std::string lf_pathElement(const std::string& line) {
  const std::size_t open = line.find("<Path>");
  if (open == std::string::npos || line.find("</Path>", open) == std::string::npos) return {};
  return gf_extractPath(line);
}

// The "Path" line of an add-ons.cfg package.
void lf_addPathValue(const std::string& line, std::vector<std::string>& packageFolders) {
  std::string value;
  if (!lf_containsAny(line, kPathWords) || !lf_lineValue(line, value)) return;
  // The value is in add-ons.cfg's own code page: logged in UTF-8 as the path it names (read in
  // the ANSI code page on Windows; elsewhere a name is its bytes, and one no UTF-8 shows as '?').
  gf_log(fmt::format("path found:{}", gf_displayableUtf8(gf_pathToUtf8(gf_pathFromUtf8(value)))));
  packageFolders.push_back(gf_trim(value));
}

// A folder joined with a relative Windows path text, as Windows joins them; an absolute text
// (drive letter or leading separator) replaces the folder, and so does an empty folder. The two
// come from files that may differ in encoding: each is taken as a path text on its own.
std::string lf_joinWinPath(std::string folder, const std::string& relative) {
  const bool absolute = (relative.size() >= 2 && relative[1] == ':') ||
                        (!relative.empty() && (relative[0] == '\\' || relative[0] == '/'));
  if (absolute || folder.empty()) return relative;
  if (folder.back() != '\\' && folder.back() != '/') folder += '\\';
  return gf_pathToUtf8(gf_pathFromUtf8(folder)) + gf_pathToUtf8(gf_pathFromUtf8(relative));
}

std::string lf_joinInstallPath(const std::string& relative) {
  return lf_joinWinPath(g_paramSimInstallPath.value(), relative);
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

// One line of add-ons.cfg: [Package.N] sections, their "Path" lines name the package folders.
void lf_addOnsCfgLine(const std::string& line, SectionState& state,
                      const PathHandler& pathHandler) {
  lf_sectionLine(line, state, {"Package", "PACKAGE"}, {"Required", "REQUIRED"}, pathHandler);
}

// One line of simobjects.cfg: [Entry.N] sections, their "Path" lines name livery folders.
void lf_simObjectsCfgLine(const std::string& line, SectionState& state,
                          const PathHandler& pathHandler) {
  lf_sectionLine(line, state, {"Entry", "ENTRY"}, {"Title", "Required"}, pathHandler);
}

// One line of add-on.xml: a SimObjects line sets the flag; the line right after it may name
// the folder, and clears the flag. A relative folder lies in the package folder, where the
// simulator looks for it (AI packages ship "SimObjects\Airplanes" so).
void lf_addOnXmlLine(const std::string& line, const std::string& packageFolder,
                     bool& afterSimObjects, std::vector<std::string>& liveryFolders) {
  if (!afterSimObjects) {
    afterSimObjects =
        lf_containsAny(line, {"SimObjects", "SIMOBJECTS", "Simobjects", "simobjects"});
    return;
  }
  afterSimObjects = false;
  const std::string path = lf_pathElement(line);
  if (path.empty() || lf_containsAny(path, {"Lights Reborn", "Aerosoft Geneva Professional"})) {
    return;
  }
  const std::string folder = lf_joinWinPath(packageFolder, path);
  gf_log(fmt::format("      Simobjects found:{}", folder));
  liveryFolders.push_back(folder);
}

}  // namespace

fs::path lf_addOnsCfgPath() {
  const fs::path appData = gf_getAppDataPath();
  return gf_resolvePathCase(appData / "Lockheed Martin" / ("Prepar3D v" + gf_p3dVersionFromPath()) /
                            "add-ons.cfg");
}

fs::path lf_simObjectsCfgPath() {
  return gf_winPath("C:\\ProgramData\\Lockheed Martin\\Prepar3D v" + gf_p3dVersionFromPath() +
                    "\\simobjects.cfg");
}

void lf_readP3DAddOnsAircraft(std::vector<std::string>& liveryFolders) {
  const std::size_t before = liveryFolders.size();
  try {
    const fs::path file = lf_addOnsCfgPath();
    gf_log(fmt::format("\nReading {} for AI add-on packages...", gf_pathToUtf8(file)));
    std::vector<std::string> lines;
    if (!gf_readExtTextFileToStringVector(file, lines)) {
      gf_log(gf_pathToUtf8(file) + " not found!");
    } else {
      std::vector<std::string> packageFolders;
      const PathHandler toPackages = [&](const std::string& line) {
        lf_addPathValue(line, packageFolders);
      };
      SectionState state;
      for (const std::string& line : lines) lf_addOnsCfgLine(line, state, toPackages);
      lf_endSections(state, toPackages);
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
  gf_log(fmt::format("   exploring {}", gf_pathToUtf8(file)));
  std::vector<std::string> lines;
  if (!gf_readExtTextFileToStringVector(file, lines)) {
    gf_log(gf_pathToUtf8(file) + " not found!");
    return;
  }
  bool afterSimObjects = false;
  for (const std::string& line : lines) {
    lf_addOnXmlLine(line, packageFolder, afterSimObjects, liveryFolders);
  }
}

void lf_readP3DSimObjectsCfg(std::vector<std::string>& liveryFolders) {
  const fs::path file = lf_simObjectsCfgPath();
  if (!fs::exists(file)) return;
  const std::size_t before = liveryFolders.size();
  gf_log(fmt::format("\nReading {} for AI add-on packages...", gf_pathToUtf8(file)));
  std::vector<std::string> lines;
  if (!gf_readExtTextFileToStringVector(file, lines)) {
    gf_log(gf_pathToUtf8(file) + " not found!");
  } else {
    const PathHandler toLiveryFolders = [&](const std::string& line) {
      lf_simObjectsEntryPath(line, liveryFolders);
    };
    SectionState state;
    for (const std::string& line : lines) lf_simObjectsCfgLine(line, state, toLiveryFolders);
    lf_endSections(state, toLiveryFolders);
  }
  gf_log(fmt::format("{} AI add-on packages found", liveryFolders.size() - before));
}
