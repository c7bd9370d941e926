// The list of park airports: my_park_airports.txt (one "ICAO[,reserved stand]" a line) and the
// my_thirdparty folder's airport folders, read into g_parkAirports and written back sorted.
// Worker thread.
#include <algorithm>
#include <exception>
#include <filesystem>

#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"
#include "traffic/parking/parking.h"

namespace {

constexpr std::size_t kManyParkAirports = 3000;

std::string lf_listFileName() { return gf_pathToUtf8(g_myParkAirportsFile.filename()); }

// One line of the file (numbered from 1); false when it names an airport that the airport list
// lacks.
bool lf_parseParkAirportLine(const std::string& line, std::size_t lineNumber) {
  if (!gf_isUtf8(line)) {
    gf_logError(fmt::format("{}:{} is not UTF-8 text, skipped", lf_listFileName(), lineNumber));
    return true;
  }
  const std::string trimmed = gf_trim(line);
  if (trimmed.empty()) {
    return true;
  }
  const std::vector<std::string> fields = gf_split(trimmed, ',');
  if (fields.size() >= 3) {
    gf_logError(fmt::format("{}:{} wrong syntax, skipped", lf_listFileName(), line));
    return true;
  }
  const std::string& icao = fields.front();
  const std::optional<AirportEntry> airport = gf_findAirport(icao);
  if (!airport) {
    gf_showMessage(fmt::format("airport {} is unknown", icao), true);
    return false;
  }
  if (lf_findParkAirport(icao) != nullptr) {
    gf_logError(fmt::format("{}:{} double, skipped", lf_listFileName(), icao));
    return true;
  }
  g_parkAirports.push_back(ParkAirport{icao, fields.size() == 2 ? fields[1] : std::string(),
                                       {airport->lat, airport->lon}, 0.0});
  return true;
}

// The first field of a line of the file, as the reader takes it.
std::string lf_lineIcao(const std::string& line) {
  const std::vector<std::string> fields = gf_split(gf_trim(line), ',');
  return fields.empty() ? std::string() : fields.front();
}

// Whether the reader takes the line as it stands: empty, or a known airport with at most a
// reserved stand, in plain UTF-8 text.
bool lf_lineUnderstood(const std::string& line) {
  const std::string trimmed = gf_trim(line);
  if (trimmed.empty()) {
    return true;
  }
  if (!gf_isUtf8(trimmed)) {
    return false;
  }
  const bool control = std::any_of(trimmed.begin(), trimmed.end(), [](char c) {
    return static_cast<unsigned char>(c) < 0x20 && c != '\t';
  });
  const std::vector<std::string> fields = gf_split(trimmed, ',');
  return !control && !fields.empty() && fields.size() <= 2 && gf_findAirport(fields.front()).has_value();
}

// A file with lines the reader did not understand (another encoding, a damaged file) may hold
// what the user cannot get back once rewritten: a copy of it is kept beside it first.
void lf_keepMisunderstoodFile(const std::filesystem::path& path, const std::vector<std::string>& lines) {
  if (std::all_of(lines.begin(), lines.end(), lf_lineUnderstood)) {
    return;
  }
  gf_backupFile(path);
  const std::string text = gf_pathToUtf8(path);
  const auto dot = text.rfind('.');
  const std::string copy = dot == std::string::npos ? text : text.substr(0, dot) + "0" + text.substr(dot);
  gf_logError(fmt::format("{} holds lines that were not understood, a copy is kept as {}", text, copy));
}

}  // namespace

ParkAirport* lf_findParkAirport(const std::string& icao) {
  const auto found = std::find_if(g_parkAirports.begin(), g_parkAirports.end(),
                                  [&icao](const ParkAirport& a) { return a.icao == icao; });
  return found == g_parkAirports.end() ? nullptr : &*found;
}

bool lf_readMyParkAirports() {
  bool allKnown = true;
  try {
    g_parkAirports.clear();
    const std::filesystem::path& path = g_myParkAirportsFile;
    std::vector<std::string> lines;
    if (!std::filesystem::exists(path)) {
      gf_log(fmt::format("{} not found", gf_pathToUtf8(path)));
    } else if (!gf_readExtTextFileToStringVector(path, lines)) {
      gf_logError(fmt::format("{} could not be read whole", gf_pathToUtf8(path)));
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      allKnown = lf_parseParkAirportLine(lines[i], i + 1) && allKnown;
    }
    if (!g_parkAirports.empty()) {
      const std::size_t count = g_parkAirports.size();
      gf_log(fmt::format("{} park airport{} read from \"{}\"", count, gf_plural(count), gf_pathToUtf8(path)));
      if (count > kManyParkAirports) {
        gf_showMessage(fmt::format("Warning: There are a lot of airports ({}) in {}, that will cost "
                                   "Zendrik much cpu time, and may give stutters",
                                   count, gf_pathToUtf8(path)),
                       true);
      }
    }
    lf_scanMyThirdparty();
  } catch (const std::exception& e) {
    gf_log(fmt::format("{}: {}", "lf_readMyParkAirports", e.what()));
  }
  return allKnown;
}

void lf_scanMyThirdparty() {
  if (!std::filesystem::is_directory(g_myThirdpartyDir)) {
    return;
  }
  // Directory order differs between file systems: name order is the same everywhere.
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(g_myThirdpartyDir)) {
    if (entry.is_directory()) {
      names.push_back(gf_pathToUtf8(entry.path().filename()));
    }
  }
  std::sort(names.begin(), names.end());
  std::size_t added = 0;
  for (const std::string& name : names) {
    if (lf_findParkAirport(name) != nullptr) {
      continue;
    }
    if (const std::optional<AirportEntry> airport = gf_findAirport(name)) {
      g_parkAirports.push_back(ParkAirport{name, "", {airport->lat, airport->lon}, 0.0});
      ++added;
    }
  }
  if (added > 0) {
    gf_log(fmt::format("{} park airport{} added from my_thirdparty folder(-s) ", added,
                       gf_plural(added)));
  }
}

void lf_moveParkAirport(ParkAirport& airport, std::size_t index) {
  const auto from = g_parkAirports.begin() + (&airport - g_parkAirports.data());
  const auto to = g_parkAirports.begin() + static_cast<std::ptrdiff_t>(index);
  if (from > to) {
    std::rotate(to, from, from + 1);
  } else if (from < to) {
    std::rotate(from, from + 1, to + 1);
  }
}

void lf_writeParkAirportLine(const ParkAirport& airport) {
  const std::filesystem::path& path = g_myParkAirportsFile;
  const std::string name = lf_listFileName();
  std::vector<std::string> lines;
  const bool exists = std::filesystem::exists(path);
  // A file read only in part would lose the rest when written back.
  if (exists && !gf_readExtTextFileToStringVector(path, lines)) {
    gf_logError(fmt::format("{} could not be read whole, it is left as it is", gf_pathToUtf8(path)));
    return;
  }
  try {
    lf_keepMisunderstoodFile(path, lines);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} could not be copied ({}), it is left as it is", gf_pathToUtf8(path), e.what()));
    return;
  }
  const auto match = std::find_if(lines.begin(), lines.end(), [&airport](const std::string& l) {
    return lf_lineIcao(l) == airport.icao;
  });
  if (match != lines.end()) {
    *match = fmt::format("{},{}", airport.icao, airport.reservedStand);
    gf_log(fmt::format("{}:{},{} updated stand", name, airport.icao, airport.reservedStand));
  } else {
    std::string line = airport.icao;
    if (!airport.reservedStand.empty()) {
      line += "," + airport.reservedStand;
    }
    gf_log(exists ? fmt::format("{}:{} new entry", name, line)
                  : fmt::format("{} created with {}", name, line));
    lines.insert(lines.begin(), line);
  }
  std::stable_sort(lines.begin(), lines.end());
  if (!gf_writeStringVectorToFile(lines, path)) {
    gf_logError(fmt::format("{} could not be written", gf_pathToUtf8(path)));
  }
}

void gf_writeMyParkAirports() {
  if (!g_parkAirports.empty()) {
    lf_writeParkAirportLine(g_parkAirports.front());
  }
}

void gf_setParkAirport(const std::string& icao, const LatLon& position) {
  if (ParkAirport* known = lf_findParkAirport(icao)) {
    lf_moveParkAirport(*known, 0);
    return;
  }
  g_parkAirports.insert(g_parkAirports.begin(), ParkAirport{icao, "", position, 0.0});
  gf_writeMyParkAirports();
}
