// Test scaffolding for the simulator link.
#include "simlink/simlink_test_helpers.h"

#include <chrono>
#include <cstring>
#include <fstream>
#include <sstream>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "liveries/aircraft_database.h"

namespace linktest {

namespace {

constexpr double kStandRadiusNm = 0.01;

// A small aircraft database: three Large types and one Heavy; unknown types (Light) get a
// half span of 0, so that a failed look-up shows.
void lf_useTestDatabase() {
  g_dbaseWingspans = {{"A320", 35.8}, {"A388", 79.75}, {"B738", 35.79}, {"E190", 28.72}};
  g_dbaseLarge = {"A320", "B738", "E190"};
  g_dbaseHeavy = {"A388"};
  g_defaultWingspan = {0.0, 0.008, 0.0097, 0.0215, 0.005, 0.006};
  g_maxHalfWingspanNm = 79.75 * 0.5 * kWingspanNmPerMetre;
}

void lf_clearTestDatabase() {
  g_dbaseWingspans.clear();
  g_dbaseLarge.clear();
  g_dbaseHeavy.clear();
  g_defaultWingspan = {};
  g_maxHalfWingspanNm = 0.0;
}

}  // namespace

void gf_resetForRun() {
  gf_resetSimLinkRun();
  g_stopRequested.store(false);
  g_exitRequested.store(false);
  g_exitReason.store(0);
  g_restartDelaySec.store(0);
  g_rtProfessional.store(false);
  g_simTimeSec.store(0);
  g_userOnGround.store(false);
  g_simFrameRate.store(0.0f);
  {
    std::lock_guard lock(g_simNoticesMutex);
    g_simNotices.clear();
  }
  MainWindowState& w = g_mainWindowState;
  for (std::string MainWindowState::*text :
       {&MainWindowState::statusText, &MainWindowState::errorText, &MainWindowState::simName,
        &MainWindowState::userAcTitleText, &MainWindowState::userStand}) {
    w.storeText(text, "", kLampsArea);
  }
  w.simConnected.store(0);
  w.simRunningLamp.store(0);
  w.userAcModelKnown.store(1);
}

void LinkTest::SetUp() {
  gf_openLog();
  lf_useTestDatabase();
  g_paramSimInstallPath.setValue("");
  g_paramP3dVersion.setValue(5);
  gf_resetForRun();
  gf_setSimLinkHooks({[this](const LatLon& p) {
                        for (const auto& [at, name] : stands) {
                          if (gf_distanceNm(at, p) <= kStandRadiusNm) return name;
                        }
                        return std::string();
                      },
                      [this](const std::string& name) { reservedStands.push_back(name); }});
}

void LinkTest::TearDown() {
  gf_setSimLinkHooks({});
  gf_resetForRun();
  lf_clearTestDatabase();
  gf_closeLog();
}

std::string LinkTest::log() const {
  std::ifstream in(env.currentFolder() / "Log.txt");
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> LinkTest::logLines(const std::string& fragment) const {
  std::vector<std::string> lines;
  std::istringstream in(log());
  for (std::string line; std::getline(in, line);) {
    if (line.find(fragment) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

std::vector<SimObjectNotice> LinkTest::takeNotices() {
  std::lock_guard lock(g_simNoticesMutex);
  std::vector<SimObjectNotice> taken;
  taken.swap(g_simNotices);
  return taken;
}

std::string LinkTest::windowText(std::string MainWindowState::*field) const {
  return g_mainWindowState.text(field);
}

std::vector<std::uint8_t> gf_openMessage(const std::string& name,
                                         std::vector<std::uint32_t> version) {
  simtest::Bytes b;
  b.u32(308).u32(35).u32(SIMCONNECT_RECV_ID_OPEN).text(name, 256);
  for (const std::uint32_t v : version) b.u32(v);
  for (int i = 0; i < 6; ++i) b.u32(0);  // SimConnect version and reserved words
  return b.take();
}

std::vector<std::uint8_t> gf_exceptionMessage(std::uint32_t code, std::uint32_t sendId,
                                              std::uint32_t index) {
  return simtest::Bytes().u32(24).u32(35).u32(1).u32(code).u32(sendId).u32(index).take();
}

std::vector<std::uint8_t> gf_eventMessage(std::uint32_t eventId, std::uint32_t data) {
  return simtest::Bytes().u32(24).u32(35).u32(4).u32(SIMCONNECT_UNUSED).u32(eventId).u32(data)
      .take();
}

std::vector<std::uint8_t> gf_addRemoveMessage(std::uint32_t eventId, std::uint32_t objectId,
                                              std::uint32_t objectType) {
  return simtest::Bytes().u32(28).u32(35).u32(5).u32(SIMCONNECT_UNUSED).u32(eventId)
      .u32(objectId).u32(objectType).take();
}

std::vector<std::uint8_t> gf_filenameMessage() {
  return simtest::Bytes().u32(288).u32(35).u32(6).u32(SIMCONNECT_UNUSED).u32(kEventFlightLoaded)
      .u32(0).text("flights\\other.fxml", 260).u32(0).take();
}

std::vector<std::uint8_t> gf_frameMessage(float rate) {
  return simtest::Bytes().u32(32).u32(35).u32(7).u32(SIMCONNECT_UNUSED).u32(kEventFrame).u32(0)
      .f32(rate).f32(1.0f).take();
}

std::vector<std::uint8_t> gf_dataMessage(std::uint32_t recvId, std::uint32_t requestId,
                                         std::uint32_t objectId, std::uint32_t defineId,
                                         const std::vector<std::uint8_t>& record) {
  simtest::Bytes b;
  b.u32(static_cast<std::uint32_t>(kSimObjectDataOffset + record.size())).u32(35).u32(recvId);
  b.u32(requestId).u32(objectId).u32(defineId).u32(0).u32(1).u32(1).u32(1);
  std::vector<std::uint8_t> message = b.take();
  message.insert(message.end(), record.begin(), record.end());
  return message;
}

std::vector<std::uint8_t> gf_userSample(const UserAcData& sample, std::uint32_t objectId) {
  std::vector<std::uint8_t> record(sizeof sample);
  std::memcpy(record.data(), &sample, sizeof sample);
  return gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA, kRequestUserAc, objectId, kDefUserAc,
                        record);
}

std::vector<std::uint8_t> gf_acInRange(std::uint32_t objectId, double agl, double groundAlt,
                                       std::int64_t onGround, const std::string& atcId) {
  AcInRangeRecord r{agl, groundAlt, onGround, {}};
  std::memcpy(r.atcId, atcId.data(), std::min(atcId.size(), sizeof r.atcId));
  std::vector<std::uint8_t> record(sizeof r);
  std::memcpy(record.data(), &r, sizeof r);
  return gf_dataMessage(SIMCONNECT_RECV_ID_SIMOBJECT_DATA_BYTYPE, kRequestAcInRange, objectId,
                        kDefAcInRange, record);
}

std::vector<std::uint8_t> gf_textRecord(const std::string& text, std::size_t field) {
  return simtest::Bytes().text(text, field).take();
}

void gf_dispatch(std::vector<std::uint8_t> message) {
  lf_dispatch(reinterpret_cast<SIMCONNECT_RECV*>(message.data()),
              static_cast<DWORD>(message.size()), nullptr);
}

UserAcData gf_sampleAt(double lat, double lon) {
  UserAcData d;
  d.latitude = lat;
  d.longitude = lon;
  return d;
}

bool gf_waitUntil(const std::function<bool()>& pred, double seconds) {
  return p3d::P3dStandin::waitUntil(pred, seconds);
}

void TestWorker::start(std::uint32_t majorVersion) {
  gf_initSimConnect(majorVersion);
  m_thread = std::jthread(SimClient);
}

void TestWorker::stop() {
  if (!m_thread.joinable()) return;
  m_thread.request_stop();
  m_thread.join();
}

bool TestWorker::startFlight(double seconds) {
  if (!gf_waitUntil([] { return g_simRunning.load() && !g_simRequestError.load(); }, seconds)) {
    return false;
  }
  {
    std::lock_guard lock(g_simMutex);
    SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), kRequestUserOnGround,
                                      kDefUserOnGround, SIMCONNECT_OBJECT_ID_USER,
                                      SIMCONNECT_PERIOD_SECOND, 0, 0, 0, 0);
  }
  const bool placed = gf_waitUntil(
      [] {
        g_userAcSnapshot = gf_getUserAcData();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return g_userOnGroundKnown.load() &&
               !lf_notPlacedYet({g_userAcSnapshot.latitude, g_userAcSnapshot.longitude});
      },
      seconds);
  if (placed) gf_requestUserAcTitleAndModel();
  return placed;
}

nlohmann::json gf_parkedScenario(const std::string& simulator) {
  return {{"simulator", simulator},
          {"user",
           {{"object_id", 1},
            {"title", "Stand-in Boeing 737-800"},
            {"atc_model", "B738"},
            {"path",
             {{{"t", 0}, {"lat", 52.3086}, {"lon", 4.7639}, {"alt_ft", -11},
               {"heading_deg", 90}, {"gs_kt", 0}, {"on_ground", true}}}}}},
          {"ground_elevation_ft", -11}};
}

}  // namespace linktest
