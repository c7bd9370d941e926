// The airport list from input/airports_p3d.xml: loaded once per process on the worker thread,
// read-only afterwards; lookups by code and the closest airport to a position.
#include <algorithm>
#include <stdexcept>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "foundation/errors.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "platform/paths.h"

std::vector<AirportEntry> g_airports;
bool g_airportsLoaded = false;

namespace {

constexpr std::size_t kAirportsReserve = 44000;
constexpr double kClosestRangeNm = 5.0;
constexpr double kFarNm = 100.0;

// std::stod with the texts its failures are reported with.
double lf_stod(const char* text) {
  try {
    return std::stod(text);
  } catch (const std::invalid_argument&) {
    throw std::invalid_argument("invalid stod argument");
  } catch (const std::out_of_range&) {
    throw std::out_of_range("stod argument out of range");
  }
}

void lf_readAirportEntry(const pugi::xml_node& node, std::string code, std::vector<AirportEntry>& list) {
  AirportEntry entry;
  entry.code = std::move(code);
  entry.alt = lf_stod(node.attribute("alt").value());
  entry.lat = lf_stod(node.attribute("lat").value());
  entry.lon = lf_stod(node.attribute("lon").value());
  entry.iata = node.attribute("iata").value();
  list.push_back(std::move(entry));
}

// The whole list, or an exception; the global list is untouched until it succeeded.
std::vector<AirportEntry> lf_loadAirports(const std::filesystem::path& path) {
  std::vector<AirportEntry> list;
  list.reserve(std::max(g_airports.capacity(), kAirportsReserve));
  pugi::xml_document document;
  const pugi::xml_parse_result parsed = document.load_file(path.c_str());
  if (!parsed) {
    throw std::runtime_error(gf_pathToUtf8(path) + " not loaded " + parsed.description());
  }
  const pugi::xml_node airports = document.child("airports");
  if (!airports) {
    throw std::runtime_error(gf_pathToUtf8(path) + " not found");
  }
  for (const pugi::xml_node& node : airports.children("airport")) {
    lf_readAirportEntry(node, node.attribute("code").value(), list);
  }
  std::sort(list.begin(), list.end(),
            [](const AirportEntry& a, const AirportEntry& b) { return a.code < b.code; });
  return list;
}

}  // namespace

bool gf_readAirports() {
  if (g_airportsLoaded) {
    return !g_airports.empty();
  }
  const std::filesystem::path path = g_inputDir / g_airportsP3dFile;
  try {
    // A failed load leaves the list as it was, so that a later run does not append twice.
    std::vector<AirportEntry> list = lf_loadAirports(path);
    gf_log(fmt::format("{} airports read from \"{}\"", list.size(), gf_pathToUtf8(path)));
    list.shrink_to_fit();
    g_airports.swap(list);
  } catch (const pugi::xpath_exception& e) {
    const char* description = e.result().description();
    throw qvb::UserErrorException(87, description != nullptr ? description : "No error");
  } catch (const std::exception& e) {
    throw qvb::UserErrorException(88, e.what());
  }
  g_airportsLoaded = true;
  return !g_airports.empty();
}

std::optional<AirportEntry> gf_findAirport(const std::string& code) {
  const auto it = std::find_if(g_airports.begin(), g_airports.end(),
                               [&code](const AirportEntry& a) { return a.code == code; });
  return it == g_airports.end() ? std::nullopt : std::optional<AirportEntry>(*it);
}

std::optional<AirportEntry> gf_closestAirport(const LatLon& position) {
  double bestDistance = kFarNm;
  const AirportEntry* best = nullptr;
  const AirportEntry* neighbour = nullptr;
  for (const AirportEntry& entry : g_airports) {
    const double d = gf_distanceNm(position, {entry.lat, entry.lon});
    if (d <= kClosestRangeNm && d < bestDistance) {
      bestDistance = d;
      if (best != nullptr) {
        neighbour = best;
      }
      best = &entry;
    }
  }
  if (best == nullptr) {
    return std::nullopt;
  }
  if (neighbour == nullptr) {
    return *best;
  }
  gf_log(fmt::format("Airport {} is closest, neighbour is {}", best->code, neighbour->code));
  std::string bestStand, neighbourStand;
  const double dBest = gf_readDestApfForClosestStand(best->code, position, bestStand);
  const double dNeighbour = gf_readDestApfForClosestStand(neighbour->code, position, neighbourStand);
  if (dNeighbour < dBest) {
    gf_log(fmt::format("Airport {} is closest, but stand {} at neighbouring airport {} is closest "
                       "at {:.0F} meters ...",
                       best->code, neighbourStand, neighbour->code, dNeighbour * kMetresPerNm));
    return *neighbour;
  }
  return *best;
}

std::string gf_airportText(const AirportEntry& entry) {
  std::string text = entry.code.empty() ? "?" : entry.code;
  if (!entry.iata.empty()) {
    text += " (" + entry.iata + ")";
  }
  return text;
}
