// The add-on scenery folders the airports scan visits (worker thread): from the simulator's
// scenery.cfg and scenery_add-ons.xml, or from the afolder settings. The configuration files are
// read as text lines with substring tests, not parsed. Folder texts stay Windows texts; they are
// turned into paths of this system when the scan opens them.
#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "airports/scan.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/registry_lookup.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"

namespace {

constexpr std::size_t kConfigLinesReserve = 4048;

bool lf_containsAny(const std::string& line, std::initializer_list<const char*> words) {
  for (const char* word : words) {
    if (line.find(word) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// A relative scenery.cfg value joined to the install path, as Windows joins it. The value may be
// in the user's code page: it is taken as a path text on its own.
std::string lf_joinInstallPath(const std::string& relative) {
  std::string install = g_paramSimInstallPath.value();
  if (!install.empty() && install.back() != '\\' && install.back() != '/') {
    install += '\\';
  }
  return install + gf_pathToUtf8(gf_pathFromUtf8(relative));
}

// The simulator's Scenery folder as the configuration files spell it; "" when not known.
std::string lf_simSceneryWinText() {
  return g_paramSimInstallPath.value().empty() ? std::string() : lf_joinInstallPath("Scenery");
}

// Whether a folder text lies in the simulator's Scenery folder; an unknown one (no install path)
// holds none.
bool lf_inSimSceneryText(const std::string& text) {
  const std::string scenery = lf_simSceneryWinText();
  return !scenery.empty() &&
         (text.find(scenery) != std::string::npos || lf_inSimScenery(gf_pathToUtf8(gf_winPath(text))));
}

bool lf_isActiveLine(const std::string& line) {
  return lf_containsAny(line, {"Active", "ACTIVE", "active"}) && lf_containsAny(line, {"True", "TRUE", "true"});
}

void lf_localPathOfLine(const std::string& line, std::vector<std::string>& folders) {
  if (!lf_containsAny(line, {"Local", "LOCAL", "local"}) || lf_isStockScenery(line)) {
    return;
  }
  const auto eq = line.find('=');
  if (eq == std::string::npos) {
    return;
  }
  std::string value = gf_trim(line.substr(eq + 1));
  if (value.find(":\\") == std::string::npos) {
    value = lf_joinInstallPath(value);
  }
  const std::string scenery = lf_simSceneryWinText();
  if (!scenery.empty() && value.find(scenery) != std::string::npos) {
    return;
  }
  gf_log("      found:" + value);
  folders.push_back(value);
}

void lf_processArea(const std::vector<std::string>& section, std::vector<std::string>& folders) {
  if (std::none_of(section.begin(), section.end(), lf_isActiveLine)) {
    return;
  }
  for (const std::string& line : section) {
    lf_localPathOfLine(line, folders);
  }
}

// Groups the lines into area sections; a header line closes the section before it.
struct SceneryCfgSections {
  bool inSection = false;
  std::vector<std::string> lines;

  void lf_sceneryCfgLine(const std::string& line, std::vector<std::string>& folders) {
    if (lf_containsAny(line, {"Area", "AREA", "area"})) {
      if (!lines.empty()) {
        lf_processArea(lines, folders);
        lines.clear();
      }
      inSection = true;
    } else if (inSection && !lf_containsAny(line, {"Required", "REQUIRED", "Title", "TITLE", "Layer", "LAYER"})) {
      lines.push_back(gf_trim(line));
    }
  }
};

// One line of scenery_add-ons.xml: the folder between <Path> and </Path>, when the line holds
// both (a Path element split over two lines names nothing).
void lf_addOnsXmlLine(const std::string& line, std::vector<std::string>& folders) {
  const std::string folder =
      line.find("</Path>") != std::string::npos ? gf_extractPath(line) : std::string();
  if (!folder.empty()) {
    gf_log("found path:" + folder);
    folders.push_back(folder);
  }
}

bool lf_readConfigLines(const std::string& pathText, std::vector<std::string>& lines) {
  lines.reserve(kConfigLinesReserve);
  if (!gf_readExtTextFileToStringVector(gf_winPath(pathText), lines)) {
    gf_log(pathText + " not found!");
    return false;
  }
  return true;
}

}  // namespace

bool lf_isStockScenery(const std::string& text) {
  static const std::array<const char*, 45> kStock = {
      "\\Cities", "\\CITIES", "\\cities", "\\World", "\\BASE", "\\0006", "\\0007", "\\0103", "\\0106",
      "\\0107", "\\0206", "\\0207", "\\0307", "\\0407", "\\0505", "\\0506", "\\0507", "\\0606",
      "\\0607", "\\0706", "\\0707", "\\0805", "\\0806", "\\0807", "\\0900", "\\0906", "\\0907",
      "\\1000", "\\1006", "\\1007", "\\1100", "\\1102", "\\1107", "\\AFRI", "\\ASIA", "\\AUST",
      "\\EURE", "\\EURW", "\\NAMC", "\\NAME", "\\NAMW", "\\OCEN", "\\SAME", "\\Global", "\\Bathymetry"};
  return std::any_of(kStock.begin(), kStock.end(),
                     [&text](const char* name) { return text.find(name) != std::string::npos; });
}

std::string lf_simConfigFolderText() {
  return "C:\\ProgramData\\Lockheed Martin\\Prepar3D v" + gf_p3dVersionFromPath();
}

void lf_readSceneryCfg(std::vector<std::string>& folders) {
  const std::string path = lf_simConfigFolderText() + "\\scenery.cfg";
  gf_log(fmt::format("\nReading: {} for airport add-ons ...", path));
  const std::size_t before = folders.size();
  std::vector<std::string> lines;
  if (lf_readConfigLines(path, lines)) {
    SceneryCfgSections sections;
    for (const std::string& line : lines) {
      sections.lf_sceneryCfgLine(line, folders);
    }
    if (sections.inSection) {
      lf_processArea(sections.lines, folders);
    }
  }
  gf_log(fmt::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_readSceneryAddOnsXml(std::vector<std::string>& folders) {
  const std::string path = lf_simConfigFolderText() + "\\scenery_add-ons.xml";
  gf_log(fmt::format("\nReading {} for add-on airport ...", path));
  const std::size_t before = folders.size();
  std::vector<std::string> lines;
  if (lf_readConfigLines(path, lines)) {
    for (const std::string& line : lines) {
      lf_addOnsXmlLine(line, folders);
    }
  }
  gf_log(fmt::format("{} scenery add-on paths found\n", folders.size() - before));
}

void lf_checkAfolder(const std::array<StringParameter, kFolderSettings>& settings,
                     std::vector<std::string>& folders) {
  for (const StringParameter& setting : settings) {
    const std::string value = setting.value();
    if (value.empty()) {
      continue;
    }
    if (lf_inSimSceneryText(value)) {
      throw qvb::UserErrorException(
          42, fmt::format("parameter {} points to stock airports instead of add-on airports!", setting.name));
    }
    folders.push_back(value);
  }
}
