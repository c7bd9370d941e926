// Test scaffolding for the simulator link.
#include "simlink/simlink_test_helpers.h"

#include <algorithm>
#include <fstream>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "liveries/aircraft_database.h"

namespace linktest {

void gf_resetForRun() {
  gf_resetSimLinkRun();
  g_stopRequested.store(false);
  g_exitReason.store(0);
  g_restartDelaySec.store(0);
  g_rtProfessional.store(false);
  g_simFrameRate.store(0.0f);
  g_simConnected.store(0);
  for (auto text : {&MainWindowState::statusText, &MainWindowState::errorText,
                    &MainWindowState::simName, &MainWindowState::userStand}) {
    g_mainWindowState.storeText(text, "", kLampsArea);
  }
  std::lock_guard lock(g_simNoticesMutex);
  g_simNotices.clear();
}

void LinkTest::SetUp() {
  gf_openLog();
  // Unknown types (Light) get a half span of 0, so that a failed look-up shows.
  g_dbaseWingspans = {{"A320", 35.8}, {"A388", 79.75}, {"B738", 35.79}, {"E190", 28.72}};
  g_dbaseLarge = {"A320", "B738", "E190"};
  g_defaultWingspan = {0.0, 0.008, 0.0097, 0.0215, 0.005, 0.006};
  g_maxHalfWingspanNm = 79.75 * 0.5 * kWingspanNmPerMetre;
  g_paramSimInstallPath.setValue("");
  gf_resetForRun();
  gf_setSimLinkHooks({[this](const LatLon& p) {
                        for (const auto& [at, name] : stands) {
                          if (gf_distanceNm(at, p) <= 0.01) return name;
                        }
                        return std::string();
                      },
                      [this](const std::string& name) { reservedStands.push_back(name); }});
}

void LinkTest::TearDown() {
  gf_setSimLinkHooks({});
  gf_resetForRun();
  g_dbaseWingspans.clear();
  g_dbaseLarge.clear();
  gf_closeLog();
}

std::vector<std::string> LinkTest::logLines(const std::string& fragment) const {
  std::ifstream in(env.currentFolder() / "Log.txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) {
    if (line.find(fragment) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::vector<SimObjectNotice> LinkTest::takeNotices() {
  std::lock_guard lock(g_simNoticesMutex);
  return std::exchange(g_simNotices, {});
}

std::string LinkTest::dispatchError(Bytes message) {
  try {
    gf_dispatch(std::move(message));
  } catch (const qvb::UserErrorException& e) {
    return e.what();
  }
  return "";
}

Bytes gf_message(std::uint32_t id, std::vector<std::uint32_t> words, const Bytes& tail) {
  words.insert(words.begin(),
               {static_cast<std::uint32_t>(12 + 4 * words.size() + tail.size()), 35, id});
  Bytes m(words.size() * 4);
  std::memcpy(m.data(), words.data(), m.size());
  m.insert(m.end(), tail.begin(), tail.end());
  return m;
}

Bytes gf_textField(const std::string& text, std::size_t field) {
  Bytes b(text.begin(), text.end());
  b.resize(std::max(field, b.size()));
  return b;
}

Bytes gf_openMessage(const std::string& name) {
  Bytes tail = gf_textField(name, 256);
  for (const std::uint32_t v : {5, 3, 17, 28160, 0, 0, 0, 0, 0, 0}) {
    const auto b = gf_bytes(v);
    tail.insert(tail.end(), b.begin(), b.end());
  }
  return gf_message(SIMCONNECT_RECV_ID_OPEN, {}, tail);
}

Bytes gf_sample(double lat, double lon, std::uint32_t objectId) {
  UserAcData d;
  d.latitude = lat;
  d.longitude = lon;
  return gf_data(kRequestUserAc, gf_bytes(d), objectId);
}

Bytes gf_inRange(std::uint32_t objectId, double agl, const std::string& atcId) {
  AcInRangeRecord r{agl, -11.0, 1, {}};
  std::memcpy(r.atcId, atcId.data(), std::min(atcId.size(), sizeof r.atcId));
  return gf_data(kRequestAcInRange, gf_bytes(r), objectId, 9);
}

void gf_dispatch(Bytes message) {
  lf_dispatch(reinterpret_cast<SIMCONNECT_RECV*>(message.data()),
              static_cast<DWORD>(message.size()), nullptr);
}

bool TestWorker::startFlight() {
  if (!gf_waitUntil([] { return g_simRunning.load(); })) return false;
  {
    std::lock_guard lock(g_simMutex);
    SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), kRequestUserOnGround, kDefUserOnGround,
                                      SIMCONNECT_OBJECT_ID_USER, SIMCONNECT_PERIOD_SECOND, 0, 0, 0,
                                      0);
  }
  const bool placed = gf_waitUntil([] {
    g_userAcSnapshot = gf_getUserAcData();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return g_userOnGroundKnown.load() &&
           !lf_notPlacedYet({g_userAcSnapshot.latitude, g_userAcSnapshot.longitude});
  });
  if (placed) gf_requestUserAcTitleAndModel();
  return placed;
}

nlohmann::json gf_parkedScenario(const std::string& simulator) {
  return {{"simulator", simulator},
          {"user",
           {{"object_id", 2},
            {"title", "Stand-in Boeing 737-800"},
            {"atc_model", "B738"},
            {"path", {{{"t", 0}, {"lat", 52.3086}, {"lon", 4.7639}, {"alt_ft", -11}}}}}},
          {"ground_elevation_ft", -11}};
}

}  // namespace linktest
