// Small routines on the engine's records that several parts of the engine share: erasing a
// record by moving the last one into its place, freeing a stand whose holder leaves, the
// removals for the park airport's limit and for static aircraft in a live aircraft's way, the
// kept-aircraft record of the parking adjustments, and the reset between runs. Worker thread.
#include <algorithm>
#include <cmath>
#include <mutex>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "platform/win32.h"
#include "intake/intake.h"
#include "traffic/live/live_internal.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr std::int32_t kStandardQnh = 1013;
constexpr std::int32_t kNoAltitude = -1;

template <typename Record>
void lf_eraseBySwap(std::vector<Record>& records, Record& record) {
  Record* last = &records.back();
  if (&record != last) record = std::move(*last);
  records.pop_back();
  gf_recordsReordered();
}

bool lf_inRange(const StaticAircraft& s, double distanceNm, const void* context) {
  const auto* live = static_cast<const AiAircraft*>(context);
  return distanceNm <= kNeighbourSpanFactor * (live->halfWingspan + s.halfWingspan);
}

void lf_clearWindowCounters() {
  MainWindowState& w = g_mainWindowState;
  bool shown = w.parkedLiveCount.exchange(0) != 0;
  shown = w.parkedStaticCount.exchange(0) != 0 || shown;
  shown = w.parkTarget.exchange(0) != 0 || shown;
  shown = w.liveAverageFit.exchange(-1.0f) >= 0.0f || shown;
  shown = w.staticAverageFit.exchange(-1.0f) >= 0.0f || shown;
  if (HWND window = g_hWnd.load(); shown && window != nullptr) InvalidateRect(window, nullptr, TRUE);
}

}  // namespace

double lf_signedAngle(double radians) {
  radians = std::fmod(radians, kTwoPi);
  if (radians > kPi) radians -= kTwoPi;
  if (radians <= -kPi) radians += kTwoPi;
  return radians;
}

void lf_eraseLive(AiAircraft& aircraft) { lf_eraseBySwap(g_liveAc, aircraft); }

void lf_eraseStatic(StaticAircraft& aircraft) { lf_eraseBySwap(g_staticAc, aircraft); }

void lf_releaseStand(const AiAircraft& aircraft) {
  if (aircraft.fs != kFsParked || aircraft.standId == 0) return;
  if (ParkPos* stand = gf_standById(aircraft.standId)) stand->liveOccupied = false;
}

void lf_removeMaxParked(std::uint32_t key) {
  AiAircraft* a = gf_liveByKey(key);
  if (a == nullptr || a->st != kStActive) return;
  lf_logUnderLog(
      fmt::format("{:}: {:8} max park exceeded, removed", lf_standNameById(a->standId), a->callsign));
  removeAircraftFromSim(*a);
}

std::vector<StaticAircraft>::iterator gf_removeStaticForLiveAc(const AiAircraft& aircraft) {
  const double reach = kNeighbourSpanFactor * (aircraft.halfWingspan + gf_widestStaticHalfSpan());
  StaticAircraft* s = gf_firstStaticNear({aircraft.lat, aircraft.lon}, reach, lf_inRange, &aircraft);
  if (s == nullptr) return g_staticAc.end();
  lf_logUnderLog(fmt::format("{:8}: {:8} removed for collision avoidance with live {}",
                             lf_standNameById(s->standId), s->callsign, aircraft.callsign));
  removeAircraftFromSim(*s);
  return g_staticAc.begin() + (s - g_staticAc.data());
}

void lf_recordKeptStatic(const StaticAircraft& s, bool recreate) {
  g_parkOptionCandidates.push_back({s.callsign, s.text6, s.text7, s.registration, s.airline,
                                    s.type, s.parkedSlot, s.standId, recreate});
}

void gf_resetTraffic() {
  gf_resetParkAirports();
  lf_clearWindowCounters();
  {
    std::lock_guard lock(g_simNoticesMutex);
    g_simNotices.clear();
  }
  g_lightToggles.clear();
  g_ghostTexts.clear();
  g_refusedCallsigns.clear();
  g_staticCandidates.clear();
  g_liveToCreate.clear();
  g_staticAc.clear();
  g_parkedKeySlots.clear();
  g_liveAc.clear();
  g_parkStands.clear();
  g_liveryById.clear();
  g_removeWait.clear();
  g_liveCreateWait.clear();
  g_staticCreateWait.clear();
  {
    std::lock_guard lock(g_trafficMutex);
    g_liveTrafficBuffer.clear();
  }
  // Keys of the aircraft just forgotten, and the parking adjustments' lists of them.
  g_newLiveIds.clear();
  g_parkAdjustBuffer.clear();
  g_fastRangeRequest = false;
  g_busy.exchange(false);
  if (HWND window = g_hWnd.load(); window != nullptr) InvalidateRect(window, nullptr, TRUE);
  g_qnh.store(kStandardQnh);
  g_parkApfHeader = {"", "", kNoAltitude};
  g_parkStandUpdates = 0;
  g_dayHhNow.store(DayHh{});
  g_noMatches.clear();
  gf_forgetStandNames();
  gf_recordsReordered();
}
