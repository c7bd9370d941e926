// Reading the park airport's stand file and calculating its static parking: how many static
// aircraft are wanted, and which learned options fill which stands now, best fit first. The
// engine step creates the candidates one by one from the back of g_staticCandidates.
// Worker thread.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/strings.h"
#include "foundation/random_pick.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

std::int32_t g_parkMaxRealFit = 0;
std::int32_t g_parkSoftFit = -1;

namespace {

constexpr std::int32_t kGoodQualityFactor = 45;
constexpr std::size_t kManyStands = 20;
constexpr std::size_t kLocalCandidates = 512;
constexpr int kHalfOfPercent = 50;

// Half-hours as hours at the end of the last one: 0 gives 0.5, 16 gives 8.5.
double lf_hours(std::int64_t halfHours) { return static_cast<double>(halfHours) * 0.5 + 0.5; }

void lf_invalidateWindow() {
  if (HWND window = g_hWnd.load()) {
    InvalidateRect(window, nullptr, TRUE);
  }
}

// LEARN_SOFT is switched off at an airport whose learned timetables are good enough.
void lf_applyQualityRule() {
  const bool good = g_parkAirportQf.first >= kGoodQualityFactor && g_parkStands.size() >= kManyStands;
  g_learnSoftAllowed = !good;
  HWND box = g_paramLearnSoft.hwnd.load();
  if (!good) {
    if (box != nullptr) EnableWindow(box, TRUE);
    return;
  }
  if (g_paramLearnSoft.value()) {
    if (box != nullptr) {
      SendMessageW(box, BM_SETCHECK, BST_UNCHECKED, 0);
      EnableWindow(box, FALSE);
    }
    g_paramLearnSoft.setValue(false);
    g_standFileParamsChanged = true;
  }
}

// The current airport's reserved stand, when it names a stand of the file.
void lf_takeReservedStand() {
  const ParkAirport* current = lf_findParkAirport(g_parkAirportIcao);
  const std::string name = current == nullptr ? std::string() : current->reservedStand;
  g_reservedStand = gf_findStandByName(name) != g_parkStands.end() ? name : std::string();
  lf_showReservedStand(name);
}

std::size_t lf_countStaticOccupied() {
  return static_cast<std::size_t>(std::count_if(
      g_parkStands.begin(), g_parkStands.end(), [](const ParkPos& s) { return s.staticOccupied; }));
}

void lf_sortByFit(bool ascending) {
  std::stable_sort(g_staticCandidates.begin(), g_staticCandidates.end(),
                   [ascending](const StaticCandidate& a, const StaticCandidate& b) {
                     return ascending ? a.fit < b.fit : a.fit > b.fit;
                   });
}

void lf_logFound(DayHh d, bool real, std::size_t found, int fit) {
  const std::string when = g_paramWeek.value() ? std::string(", week") : fmt::format(", day {}", d.day);
  gf_log(fmt::format("{} {} position{} found, Max fit={} hours{}{}", found, real ? "real" : "soft",
                     gf_plural(found), lf_hours(g_paramMaxFit.value()), when,
                     fmt::format(", hh:{} or {} hrs fit: {} hour", d.hh, lf_hours(d.hh), lf_hours(fit))));
}

}  // namespace

void gf_takeLiveCallsigns() {
  g_trafficReader.setCollecting(false);
  g_liveCallsignsSeen = g_trafficReader.takeLiveCallsigns();
}

void gf_clearStandMarks() {
  for (ParkPos& stand : g_parkStands) {
    stand.staticOccupied = stand.liveOccupied = stand.reserved = stand.blockedByNeighbour = false;
  }
}

void lf_readParkedFile(std::string& message) {
  message.clear();
  g_parkStands.clear();
  const ApfSource source = lf_standFileSourceWaiting(g_parkAirportIcao);
  const std::string& path = source.path;
  if (path.empty()) {
    message = fmt::format("{} {} not found", "lf_readParkedFile", g_parkAirportIcao);
  } else if (path.find("unknown") != std::string::npos) {
    message = fmt::format("{} {} has publisher:{}, {}", "lf_readParkedFile", g_parkAirportIcao,
                          "unknown", path);
  } else {
    g_parkApfHeader = ApfHeader{};
    gf_readApf(message, path, g_parkApfHeader, g_parkAirportQf, g_parkStands, source.downloaded);
    gf_forgetStandNames();  // the cache may name a stand of the list before
  }
  if (message.empty()) {
    lf_applyQualityRule();
    if (g_userOnGroundKnown.load()) {
      lf_noteUserStand(gf_standNameAt({g_userAcSnapshot.latitude, g_userAcSnapshot.longitude}));
    }
    g_parkStands.shrink_to_fit();
    lf_takeReservedStand();
    g_trafficReader.setParkElevation(g_parkAirportElev);
  }
  g_mainWindowState.parkAirportValid.store(message.empty() ? 1 : 0);
  g_mainWindowState.storeText(&MainWindowState::parkAirportNameText, g_parkApfHeader.airport_name,
                              kParkArea);
  g_parkStandUpdates = 0;
  g_mainWindowState.standUpdates.store(0);
}

int lf_wantedStaticCount() {
  const int custom = g_paramCustomParkingPercentage.value();
  const int p = custom >= 0 ? custom : g_paramParkingPercentage.value();
  const auto n = static_cast<int>(g_parkStands.size());
  int wanted = 1;
  if (p <= 0 || n == 0) {
    wanted = 0;  // "1 at small airports" would put an aircraft there at 0 %
  } else if (n > 1 && (n > 3 || p >= kHalfOfPercent)) {
    wanted = static_cast<int>(std::lround(static_cast<double>(p) * n / 100.0));
  }
  int shown = p;
  if (g_paramCustomMaxPark.value() != g_paramCustomMaxPark.defaultValue) {
    wanted = std::max(0, std::min(g_paramCustomMaxPark.value(), wanted));
    shown = n == 0 ? 0 : static_cast<int>(std::lround(wanted * 100.0 / n));
  }
  g_mainWindowState.maxPark.store(static_cast<std::uint32_t>(std::max(shown, 0)));
  g_mainWindowState.parkTarget.store(wanted);
  g_mainWindowState.invalidate(kParkArea);
  return wanted;
}

DayHh lf_logDayHh() {
  const DayHh d = g_dayHhNow.load();
  gf_log(fmt::format("\n{} (utc) It is day {} ({}), {} hours", gf_trafficTimeNow(), d.day,
                     gf_weekdayName(static_cast<int>(d.day)), lf_hours(d.hh)));
  return d;
}

void lf_markReservedStands() {
  if (!g_reservedStand.empty()) {
    if (const StandIter stand = gf_findStandByName(g_reservedStand); stand != g_parkStands.end()) {
      stand->reserved = true;
    }
  }
  const std::string user = gf_standNameAt({g_userAcSnapshot.latitude, g_userAcSnapshot.longitude});
  if (!user.empty() && user != g_reservedStand) {
    if (const StandIter stand = gf_findStandByName(user); stand != g_parkStands.end()) {
      stand->reserved = true;
    }
  }
}

void lf_calcStaticParking() {
  const DayHh d = lf_logDayHh();
  gf_showMessage("Making changes to airport parking parameters is disabled while static parking "
                 "takes place ...",
                 false);
  g_staticCandidates.clear();
  g_parkOptionCandidates.clear();
  g_parkAdjustBuffer.clear();
  g_mainWindowState.staticAverageFit.store(-1.0f);
  g_mainWindowState.liveAverageFit.store(-1.0f);
  g_mainWindowState.staticMarker.store(0);
  lf_invalidateWindow();
  gf_takeLiveCallsigns();
  gf_clearStandMarks();
  lf_markReservedStands();
  const int wanted = lf_wantedStaticCount();
  if (wanted > 0) {
    lf_addCandidates(d, wanted, 0);
  }
  lf_sortByFit(true);
  if (g_staticCandidates.size() > static_cast<std::size_t>(std::max(wanted, 0))) {
    g_staticCandidates.resize(static_cast<std::size_t>(std::max(wanted, 0)));
  }
  if (g_staticCandidates.empty()) {
    gf_log("no parking positions found");
    gf_enableControls();
    return;
  }
  const std::size_t count = g_staticCandidates.size();
  gf_log(fmt::format("{} positions ({}% vs wanted {}%, with Max fit={} hours)\n", count,
                     std::lround(static_cast<double>(count) * 100.0 / g_parkStands.size()),
                     g_paramParkingPercentage.value(), lf_hours(g_paramMaxFit.value())));
  lf_sortByFit(false);  // the engine takes them from the back: the best fitting first
  gf_disableControls();
}

void lf_addCandidates(DayHh d, int wanted, int before) {
  g_parkMaxRealFit = 0;
  g_parkSoftFit = -1;
  lf_collectCandidates(d, wanted, before, true);
  if (static_cast<int>(g_staticCandidates.size()) + before < wanted &&
      (g_paramParkSoft.value() || g_paramParkFake.value())) {
    lf_collectCandidates(d, wanted, before, false);
  }
}

void lf_collectCandidates(DayHh d, int wanted, int before, bool real) {
  std::vector<StaticCandidate> local;
  local.reserve(kLocalCandidates);
  if (lf_searchOptionsByFit(d, real, wanted, local)) {
    // The last fit's candidates count too: the earlier fits stayed below wanted, so without
    // them the excess is never positive here and RANDOM never draws among equal fits.
    const int excess = static_cast<int>(g_staticCandidates.size() + local.size()) - wanted + before;
    if (excess > 0 && !local.empty()) {
      lf_trimCandidates(excess, local);
    }
  }
  g_staticCandidates.insert(g_staticCandidates.end(), local.begin(), local.end());
  const int excess = static_cast<int>(g_staticCandidates.size()) - wanted + before;
  if (excess > 0 && excess <= static_cast<int>(g_staticCandidates.size())) {
    g_staticCandidates.resize(g_staticCandidates.size() - static_cast<std::size_t>(excess));
  }
}

bool lf_searchOptionsByFit(DayHh d, bool real, int wanted, std::vector<StaticCandidate>& list) {
  const std::size_t marked = lf_countStaticOccupied();
  const int maxFit = g_paramMaxFit.value();
  bool enough = false;
  int fit = 0;
  for (;; ++fit) {
    lf_searchStands(d, real ? 1 : 0, static_cast<std::uint32_t>(fit), list, g_staticCandidates);
    if (lf_countStaticOccupied() >= static_cast<std::size_t>(std::max(wanted, 0))) {
      enough = true;
      break;
    }
    g_staticCandidates.insert(g_staticCandidates.end(), list.begin(), list.end());
    list.clear();
    if (fit >= maxFit) {
      break;
    }
  }
  if (real) {
    g_parkMaxRealFit = fit;
    g_parkSoftFit = -1;
  } else {
    g_parkSoftFit = fit;
  }
  const std::size_t found = lf_countStaticOccupied() - marked;
  if (found >= 1) {
    lf_logFound(d, real, found, fit);
    if (!real) {
      g_mainWindowState.staticMarker.store(1);
      g_mainWindowState.invalidate(kParkArea);
    }
  }
  return enough;
}

void lf_trimCandidates(int n, std::vector<StaticCandidate>& list) {
  if (g_paramRandom.value()) {
    std::shuffle(list.begin(), list.end(), gf_rng());
  }
  if (n >= 1 && n <= static_cast<int>(list.size())) {
    list.resize(list.size() - static_cast<std::size_t>(n));
  }
}
