// The engine tests' set-up.
#include <mutex>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/random_pick.h"
#include "foundation/run_state.h"
#include "foundation/settings_reset.h"
#include "foundation/worker_thread.h"
#include "liveries/aircraft_database.h"
#include "traffic_test_support.h"

namespace traffictest {

void gf_useTrafficDatabase() {
  g_dbaseLarge = {"A320", "B738"};
  g_dbaseHeavy = {"B744"};
  g_dbaseBuzjet = {"C56X"};
  g_dbaseRotorcraft = {"EC35"};
  g_dbaseHighPerf = {"F16"};
  g_dbaseWingspans = {{"A320", 34.1}, {"B738", 35.8}, {"B744", 64.4}, {"C172", 11.0},
                      {"C56X", 16.98}, {"EC35", 10.2}, {"F16", 9.96}};
  g_dbaseRegs = {{"PH-BXA", {"KLM", "B738", "", false}}, {"PH-MCP", {"MPH", "B744", "KLC", true}}};
}

void TrafficTest::SetUp() {
  gf_openLog();
  gf_markWorkerThread();
  gf_rng().seed(7);
  gf_testResetSettings();
  gf_testResetRunState();
  gf_resetEngine();
  gf_useTrafficDatabase();
  radiusBeforeNm = g_trafficRadiusNm.load();
}

void TrafficTest::TearDown() {
  gf_setTrafficRadius(radiusBeforeNm);
  gf_resetEngine();
  gf_testResetSettings();
  gf_closeLog();
}

bool TrafficTest::logged(const std::string& text) const {
  return gf_testReadAll(folder.path() / "Log.txt").find(text) != std::string::npos;
}

ParkPos gf_standAt(const std::string& name, double bearingDeg, double metres, double radiusM,
                   bool cargo, bool ramp, bool heli) {
  const LatLon at = gf_destination(kField, bearingDeg * kDegToRad, metres / 0.3048);
  return ParkPos(std::string(name), {}, {at.lat, at.lon, 0.0}, radiusM, !cargo, !ramp, !heli);
}

ParkPos& gf_addStand(ParkPos stand) {
  stand.number = static_cast<std::uint32_t>(g_parkStands.size() + 1);
  return g_parkStands.emplace_back(std::move(stand));
}

AircraftHead gf_head(const std::string& type, const std::string& callsign,
                     const std::string& registration, std::uint32_t key,
                     const std::string& airline) {
  AircraftIdent ident;
  ident.airline = airline;
  ident.type = type;
  ident.callsign = callsign;
  ident.registration = registration;
  AircraftHead head = gf_initTrafficReport(ident);
  head.key = key;
  return head;
}

void gf_resetEngine() {
  g_liveAc.clear();
  g_staticAc.clear();
  g_removeWait.clear();
  g_liveCreateWait.clear();
  g_staticCreateWait.clear();
  g_staticCandidates.clear();
  g_parkedKeySlots.clear();
  g_liveCallsignsSeen.clear();
  g_parkStands.clear();
  gf_forgetStandNames();
  g_parkStandUpdates = 0;
  g_parkStandsChanged = g_learnSoftAllowed = g_busy = false;
  g_parkAirportIcao.clear();
  g_parkAirportPos = {};
  g_userOnGround = true;
  g_mainWindowState.standUpdates = 0;
  std::lock_guard lock(g_simMutex);
  g_eventQueue.clear();
}

}  // namespace traffictest
