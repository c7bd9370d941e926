// Publishers of scenery paths, links of scanned airports to the archive's stand files, and the
// generated stand files of airports the archive does not know (well enough). Runs in the scan
// tasks, several at once.
#include <algorithm>
#include <array>
#include <charconv>
#include <functional>
#include <regex>

#include <fmt/format.h>

#include "airports/scan.h"
#include "airports/scan_log.h"
#include "airports/stand_file_internal.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/aircraft_database.h"
#include "platform/paths.h"

std::mutex g_linkMutex;

namespace {

constexpr const char* kSimaddon = "simaddon";
constexpr const char* kUnknown = "unknown";

// Writers of one airport's generated file take the same one of these, so that two tasks that
// found the same airport never write its file at once.
std::array<std::mutex, 64> g_generateMutexes;

std::mutex& lf_generateMutex(const std::string& icao) {
  return g_generateMutexes[std::hash<std::string>{}(icao) % g_generateMutexes.size()];
}

std::string lf_thirdpartyArchivePath(const std::string& publisher, const std::string& icao) {
  std::string pub = publisher;
  for (auto at = pub.find(' '); at != std::string::npos; at = pub.find(' ', at + 3)) {
    pub.replace(at, 1, "%20");
  }
  return "archive/thirdparty/" + pub + "/" + lf_apfName(icao);
}

// Writes a link file; a link that cannot be written is no link, so that the airport gets a
// generated file instead of nothing.
bool lf_writeLinkFile(const std::filesystem::path& folder, const std::string& icao,
                      const std::string& archivePath) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  const std::filesystem::path link = folder / lf_linkFileName(icao);
  if (error || !gf_writeStringToFile(archivePath, link, true)) {
    lf_scanLog(fmt::format("{}Linking {} did not succeed", "===> ", gf_pathToUtf8(link)));
    return false;
  }
  return true;
}

bool lf_contains(const std::string& text, const std::string& pattern) {
  return text.find(pattern) != std::string::npos || gf_containsNoCase(text, pattern);
}

}  // namespace

bool gf_containsNoCase(const std::string& text, const std::string& pattern) {
  try {
    const std::regex expression(".*" + pattern + ".*",
                                std::regex_constants::ECMAScript | std::regex_constants::icase);
    return std::regex_match(text, expression);
  } catch (const std::exception&) {
    return false;
  }
}

std::string gf_publisherFromFilename(const std::string& path) {
  if (lf_contains(path, "ORBX")) {
    lf_scanLog(fmt::format("from filename => publisher  {}", kSimaddon));
    return kSimaddon;
  }
  for (const std::vector<std::string>& group : g_dbasePublishers) {
    for (const std::string& name : group) {
      if (name.empty() || lf_contains(path, name)) {
        return group.front();
      }
    }
  }
  return kUnknown;
}

bool gf_prefixedInt::operator()(const std::string& entry) const {
  if (!entry.starts_with(icao)) {
    return false;
  }
  const char* reason = nullptr;
  if (entry.size() < 4) {
    reason = "too short";
  } else {
    std::size_t at = 4;
    while (at < entry.size() && (entry[at] == ' ' || entry[at] == '\t')) {
      ++at;
    }
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(entry.data() + at, entry.data() + entry.size(), value);
    if (error == std::errc::invalid_argument) {
      reason = "holds no number";
    } else if (error == std::errc::result_out_of_range) {
      reason = "number out of range";
    } else {
      archivedCount = value;
    }
    (void)end;
  }
  if (reason != nullptr) {
    gf_logError(fmt::format("{} {} {} {}", publisher, icao, entry, reason));
  }
  return true;
}

std::optional<std::string> lf_existsAsSimaddon(const std::string& icao) {
  if (g_dbaseSimaddonAirports.count(icao) == 0) {
    return std::nullopt;
  }
  return std::string("archive/") + kSimaddon + "/" + lf_apfName(icao);
}

std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& icao,
                                                    int& archivedCount) {
  const gf_prefixedInt accepts{publisher, icao, archivedCount};
  for (const ThirdPartyScenery& scenery : g_dbaseThirdParties) {
    if (scenery.pub == publisher && std::any_of(scenery.arpts.begin(), scenery.arpts.end(), accepts)) {
      return lf_thirdpartyArchivePath(publisher, icao);
    }
  }
  lf_scanLog(fmt::format("thirdparty {} {} does not exist", publisher, icao));
  return std::nullopt;
}

bool lf_linkSimaddon(const AirportFile& file) {
  const auto archive = lf_existsAsSimaddon(file.ICAO);
  if (!archive) {
    lf_scanLog(fmt::format("{} does not exist as simaddon", file.ICAO));
    return false;
  }
  if (!lf_writeLinkFile(lf_scanOutputDir(true), file.ICAO, *archive)) {
    return false;
  }
  lf_scanLog(fmt::format("{} airport {} linked to {}", kSimaddon, file.ICAO, *archive));
  return true;
}

bool lf_linkThirdparty(const std::string& publisher, const AirportFile& file, int& archivedCount) {
  const auto archive = lf_findThirdpartyArchive(publisher, file.ICAO, archivedCount);
  if (!archive) {
    return false;
  }
  if (!lf_writeLinkFile(lf_scanOutputDir(false), file.ICAO, *archive)) {
    return false;
  }
  lf_scanLog(fmt::format("thirdparty airport {} linked to {}", file.ICAO, *archive));
  return true;
}

bool lf_linkToArchive(AirportFile& file, int& archivedCount, const std::string& bglPath) {
  std::lock_guard lock(g_linkMutex);
  archivedCount = 0;
  file.BGLpath = bglPath;
  file.publisher = gf_publisherFromFilename(bglPath);
  if (file.publisher == kUnknown) {
    return false;
  }
  const bool linked = file.publisher == kSimaddon ? lf_linkSimaddon(file)
                                                  : lf_linkThirdparty(file.publisher, file, archivedCount);
  if (linked) {
    g_scanFoundAirports.store(true);
  }
  return linked;
}

void lf_generateApf(AirportFile& file, int helipads) {
  if (file.stands.empty()) {
    return;
  }
  const std::filesystem::path folder = lf_scanOutputDir(file.publisher == kSimaddon);
  std::string line = fmt::format("Generated {}: {} position{}", lf_apfName(file.ICAO), file.stands.size(),
                                 gf_plural(file.stands.size()));
  if (helipads > 0) {
    line += fmt::format(", of which {} helipad{}", helipads, gf_plural(helipads));
  }
  lf_scanLog(std::move(line));
  std::sort(file.stands.begin(), file.stands.end(),
            [](const ParkPos& a, const ParkPos& b) { return a.id < b.id; });
  std::filesystem::create_directories(folder);
  const std::filesystem::path target = folder / gf_apfFileName(file.ICAO);
  bool written = false;
  {
    std::lock_guard lock(lf_generateMutex(file.ICAO));
    written = gf_writeApf(file, target, true);
  }
  if (!written) {
    lf_scanLog(fmt::format("{}Generating {} did not succeed", "===> ", gf_pathToUtf8(target)));
    return;
  }
  g_scanFoundAirports.store(true);
}
