// The current park airport: which candidate becomes current as the user aircraft stands at an
// airport or comes in sight of one, when it is given up, the reserved stand, Re-read, and the
// run's reset. Worker thread; the stand-file presence check of a new airport runs as a
// background task (it may download).
#include <chrono>
#include <filesystem>
#include <future>
#include <map>
#include <optional>
#include <system_error>

#include <fmt/format.h>

#include "foundation/day_slots.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "intake/intake.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

// The stand files found in this run: code -> where (path "" = none). A file on the server is
// downloaded once, by the fetch, and read from its copy; the local folders are asked each time.
std::map<std::string, ApfSource> g_standFileKnown;
// Airports whose stand file could not be read, with the message that said why: not chosen again
// in this run.
std::map<std::string, std::string> g_standFileUnusable;
// The one fetch under way (code and its answer to come). Worker only.
struct StandFileCheck {
  std::string icao;
  std::future<ApfSource> answer;
};
std::optional<StandFileCheck> g_standFileCheck;

bool lf_ready(const std::future<ApfSource>& answer) {
  return answer.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

bool lf_standFileExists(const std::string& icao) {
  const auto known = g_standFileKnown.find(icao);
  return !g_standFileUnusable.contains(icao) &&
         (known == g_standFileKnown.end() || !known->second.path.empty());
}

}  // namespace

const ApfSource* lf_standFileSource(const std::string& icao) {
  if (g_standFileCheck && lf_ready(g_standFileCheck->answer)) {
    g_standFileKnown[g_standFileCheck->icao] = g_standFileCheck->answer.get();
    g_standFileCheck.reset();
  }
  static const ApfSource kNone;
  if (g_standFileUnusable.contains(icao)) {
    return &kNone;
  }
  // The local folders answer at once; the server may keep a download waiting up to the connect
  // timeout, so that never runs on the worker itself.
  if (std::optional<ApfSource> local = gf_localApfSource(icao)) {
    return &(g_standFileKnown[icao] = std::move(*local));
  }
  if (const auto known = g_standFileKnown.find(icao); known != g_standFileKnown.end()) {
    return &known->second;
  }
  if (!g_standFileCheck) {
    g_standFileCheck =
        StandFileCheck{icao, std::async(std::launch::async, [icao] { return gf_fetchApf(icao); })};
  }
  return nullptr;
}

const ApfSource& lf_standFileSourceWaiting(const std::string& icao) {
  const ApfSource* source = lf_standFileSource(icao);
  while (source == nullptr) {  // a fetch is under way: this one's or another airport's
    g_standFileCheck->answer.wait();
    source = lf_standFileSource(icao);
  }
  return *source;
}

namespace {

void lf_enableDestinationField() {
  if (HWND field = g_paramDestination.hwnd.load()) {
    EnableWindow(field, TRUE);
  }
}

bool lf_inSight(double distanceNm) {
  return distanceNm <= g_paramAirportRange.value() &&
         g_userAcSnapshot.altitudeAboveGround <= g_paramAirportHeight.value();
}

std::string lf_currentAirportText() {
  return gf_airportText(AirportEntry{g_parkAirportIcao, g_parkAirportName, 0.0, 0.0, 0.0});
}

void lf_chooseOnGround(const LatLon& user, bool showMessage) {
  const std::optional<AirportEntry> closest = gf_closestAirport(user);
  if (!closest) {
    gf_showMessage("User aircraft on the ground, no airport in sight", true);
    return;
  }
  const ApfSource* source = lf_standFileSource(closest->code);
  if (source == nullptr) {
    return;  // asked; the next step goes on
  }
  if (source->path.empty()) {
    // A file that could not be read is named with its fault at every check, not as missing.
    const auto unusable = g_standFileUnusable.find(closest->code);
    const std::string why =
        unusable != g_standFileUnusable.end() ? unusable->second : "no airport file found";
    gf_showMessage(fmt::format("User aircraft on the ground at {}, {}", closest->code, why), true);
    return;
  }
  gf_log(fmt::format("User aircraft on the ground at {}", closest->code));
  if (lf_setCurrentParkAirport(closest->code)) {
    g_parkCalcPending = true;
    lf_requestStaticParking(showMessage);
  }
}

void lf_chooseInTheAir() {
  lf_enableDestinationField();
  if (g_parkAirports.empty()) {
    return;
  }
  const ParkAirport& first = g_parkAirports.front();
  // A stand file that could not be read is not asked for again in this run.
  if (!lf_inSight(first.distance) || !lf_standFileExists(first.icao)) {
    return;
  }
  const std::string icao = first.icao;
  const double distance = first.distance;
  if (lf_setCurrentParkAirport(icao)) {
    gf_showMessage(fmt::format("{} in sight at {:.1F} nm", icao, distance), true);
    g_parkCalcPending = true;
    lf_requestStaticParking(false);
  }
}

}  // namespace

bool lf_setCurrentParkAirport(const std::string& icao) {
  const std::optional<AirportEntry> airport = gf_findAirport(icao);
  if (!airport) {
    return false;
  }
  g_parkAirportIcao = airport->code;
  g_parkAirportName = airport->iata;
  g_parkAirportPos = {airport->lat, airport->lon};
  g_parkAirportElev = airport->alt;
  g_trafficReader.setParkAirport(airport->code, airport->lat, airport->lon);
  const std::string text = gf_airportText(*airport);
  g_mainWindowState.storeText(&MainWindowState::parkAirportText, text, kParkArea);
  gf_log(fmt::format("The park airport is {}", text));
  return true;
}

void gf_clearCurrentParkAirport() {
  g_parkAirportIcao.clear();
  g_parkAirportName.clear();
  g_parkAirportPos = {};
  g_parkAirportElev = 0.0;
  g_reservedStand.clear();
  g_trafficReader.setParkAirport("", 0.0, 0.0);
  g_trafficReader.setParkElevation(std::nullopt);
  g_mainWindowState.storeText(&MainWindowState::parkAirportText, "", kParkArea);
  g_mainWindowState.storeText(&MainWindowState::reservedStandText, "", kParkArea);
}

void gf_noteStandFileUnusable(const std::string& icao, const std::string& why) {
  g_standFileUnusable[icao] = why;
}

void lf_refreshParkDistances(const LatLon& user) {
  if (g_parkAirports.empty()) {
    return;
  }
  // The first airport moves with the user also while the destination holds the front.
  ParkAirport& first = g_parkAirports.front();
  first.distance = gf_distanceNm(user, first.position);
  if (user.lat == g_parkListUserPos.lat && user.lon == g_parkListUserPos.lon) {
    return;
  }
  g_parkListUserPos = user;
  if (!g_paramDestination.value().empty()) {
    return;
  }
  for (ParkAirport& airport : g_parkAirports) {
    airport.distance = gf_distanceNm(user, airport.position);
  }
  std::stable_sort(g_parkAirports.begin(), g_parkAirports.end(),
                   [](const ParkAirport& a, const ParkAirport& b) { return a.distance < b.distance; });
}

void lf_chooseParkAirport(const LatLon& user, bool showMessage) {
  if (g_userOnGround.load()) {
    lf_chooseOnGround(user, showMessage);
  } else {
    lf_chooseInTheAir();
  }
}

void lf_checkParkAirportSight(const LatLon& user) {
  if (g_userOnGround.load()) {
    return;
  }
  // The current airport's own distance: the list's first may be another airport.
  const double current = gf_distanceNm(user, g_parkAirportPos);
  if (lf_inSight(current)) {
    if (g_parkAirports.empty() || g_parkAirports.front().icao == g_parkAirportIcao) {
      return;
    }
    const ParkAirport& first = g_parkAirports.front();
    if (lf_inSight(first.distance) && first.distance <= current) {
      gf_log(fmt::format("\n{} {} is in sight ({:.1F} nm), parked aircraft at {} will be removed first",
                         gf_trafficTimeNow(), first.icao, first.distance, lf_currentAirportText()));
      gf_removeParkedAc();
    }
    return;
  }
  gf_log(fmt::format("\n{} {} is out of sight ({:.1F} nm), parked aircraft will be removed",
                     gf_trafficTimeNow(), lf_currentAirportText(), current));
  gf_removeParkedAc();
}

void lf_noteUserStand(const std::string& userStand) {
  ParkAirport* current = lf_findParkAirport(g_parkAirportIcao);
  if (current != nullptr && current == &g_parkAirports.front()) {
    if (!userStand.empty() && userStand != current->reservedStand) {
      current->reservedStand = userStand;
      lf_writeParkAirportLine(*current);
    }
    return;
  }
  // The current airport goes to the front (behind a destination, which keeps the front), with
  // its reserved stand unless the user stands on another one.
  const bool destinationFirst = !g_parkAirports.empty() && !g_paramDestination.value().empty() &&
                                g_parkAirports.front().icao == g_paramDestination.value();
  bool changed = current == nullptr;
  if (current == nullptr) {
    current = &g_parkAirports.emplace_back(ParkAirport{g_parkAirportIcao, userStand, g_parkAirportPos, 0.0});
  } else if (!userStand.empty() && userStand != current->reservedStand) {
    current->reservedStand = userStand;
    changed = true;
  }
  const ParkAirport entry = *current;
  lf_moveParkAirport(*current, destinationFirst ? 1 : 0);
  if (changed) {
    lf_writeParkAirportLine(entry);
  }
}

void lf_showReservedStand(const std::string& name) {
  const bool known = !name.empty() && gf_findStandByName(name) != g_parkStands.end();
  g_mainWindowState.reservedStandKnown.store(known ? 1 : 0);
  g_mainWindowState.storeText(&MainWindowState::reservedStandText, name, kParkArea);
}

bool gf_checkParkAirports(bool applyStand, std::string& message) {
  if (!lf_readMyParkAirports()) {
    return false;
  }
  // The list comes back in file order: the destination keeps the front.
  const std::string destination = g_paramDestination.value();
  if (ParkAirport* entry = destination.empty() ? nullptr : lf_findParkAirport(destination)) {
    lf_moveParkAirport(*entry, 0);
  }
  const ParkAirport* current = lf_findParkAirport(g_parkAirportIcao);
  if (applyStand && g_userOnGroundKnown.load() && !g_busy.load() && current != nullptr &&
      g_userStandName.empty() && !current->reservedStand.empty() &&
      current->reservedStand != g_reservedStand) {
    message = fmt::format("reserved stand changed from \"{}\" to \"{}\"", g_reservedStand,
                          current->reservedStand);
    if (const StandIter old = gf_findStandByName(g_reservedStand); old != g_parkStands.end()) {
      old->reserved = false;
    }
    g_reservedStand = current->reservedStand;
    lf_showReservedStand(g_reservedStand);
    gf_removeAcAtReservedStand();
    if (const StandIter now = gf_findStandByName(g_reservedStand); now != g_parkStands.end()) {
      now->reserved = true;
    }
  }
  if (message.empty()) {
    message = "park airports and stands are okay";
  }
  return true;
}

void gf_reserveUserStand(const std::string& name) {
  // Only the first candidate: the one the file's rewrite names and the park step looks at.
  if (name.empty() || g_parkAirports.empty() || g_parkAirportIcao.empty() ||
      g_parkAirports.front().icao != g_parkAirportIcao) {
    return;
  }
  ParkAirport& current = g_parkAirports.front();
  if (current.reservedStand == name) {
    return;
  }
  current.reservedStand = name;
  lf_writeParkAirportLine(current);
}

void gf_setEngineSimLinkHooks() {
  SimLinkHooks hooks;
  hooks.standNameAt = &gf_standNameAt;
  hooks.reserveUserStand = &gf_reserveUserStand;
  gf_setSimLinkHooks(std::move(hooks));
}

void gf_resetParkAirports() {
  g_standFileCheck.reset();  // waits for a fetch under way
  for (const auto& [icao, source] : g_standFileKnown) {
    std::error_code ignored;
    if (!source.downloaded.empty()) std::filesystem::remove(source.downloaded, ignored);
  }
  g_standFileKnown.clear();
  g_standFileUnusable.clear();
  g_parkAirports.clear();
  g_parkListUserPos = {};
  g_parkCalcPending = false;
  g_learnSoftAllowed = false;
  g_parkOptionCandidates.clear();
  g_staticRemovals.clear();
  g_parkMaxRealFit = 0;
  g_parkSoftFit = -1;
  gf_clearCurrentParkAirport();
}
