// Flight-plan files: the simulator takes a flight plan only as a file, so each live AI aircraft
// with an origin and a destination gets a small one in the folder "orig_dest", which lives from
// start-up to the end of the run.
#include <fmt/format.h>

#include <fstream>

#include "foundation/aircraft_defs.h"
#include "foundation/log.h"
#include "foundation/settings_file.h"
#include "simlink/simlink.h"

namespace fs = std::filesystem;

fs::path g_flightPlanFolder;

namespace {

// The airport codes come from the traffic feed: characters that XML gives a meaning are
// written as entities, so a code can never break the file the simulator parses.
std::string lf_xmlText(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
        break;
    }
  }
  return out;
}

bool lf_isIfrCategory(std::uint32_t category) {
  return category == kCatBuzjets || category == kCatLarge || category == kCatHeavy;
}

}  // namespace

bool gf_writeFlightPlan(const fs::path& path, const std::string& origin,
                        const std::string& destination, std::uint32_t sizeCategory) {
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
       << "<SimBase.Document Type=\"AceXML\" version=\"4,3\">\n"
       << "<FlightPlan.FlightPlan>\n"
       << "<FPType>" << (lf_isIfrCategory(sizeCategory) ? "IFR" : "VFR") << "</FPType>\n"
       << "<DepartureID>" << lf_xmlText(origin) << "</DepartureID>\n"
       << "<DestinationID>" << lf_xmlText(destination) << "</DestinationID>\n"
       << "</FlightPlan.FlightPlan>\n"
       << "</SimBase.Document>\n";
  file.close();
  return !file.fail();
}

fs::path gf_flightPlanPath(std::uint32_t objectId) {
  return fs::path(fmt::format("{}.pln", objectId));
}

bool gf_createFlightPlanFolder() {
  g_flightPlanFolder = g_appDataFolder / "orig_dest";
  if (!fs::exists(g_appDataFolder)) fs::create_directory(g_appDataFolder);
  if (!fs::exists(g_flightPlanFolder)) fs::create_directory(g_flightPlanFolder);
  return fs::exists(g_flightPlanFolder);
}

void gf_removeFlightPlanFolder() {
  try {
    if (fs::exists(g_flightPlanFolder)) fs::remove_all(g_flightPlanFolder);
  } catch (const std::exception& e) {
    gf_log(fmt::format("gf_removeFlightPlanFolder: {}", e.what()));
  }
}
