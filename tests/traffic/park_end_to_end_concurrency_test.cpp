// The park airport end to end: LEAB's stands from the airports scan of the real BGL, an airport
// list from real coordinates, a learned file with options around now, the simulator stand-in
// with the user parked at LEAB and RealTraffic's traffic from the rt-standin, run by a 10 ms
// engine step with the park-airport step every 16 user reports. Two runs: the second starts
// from what the first one saved.
#include <set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/scan.h"
#include "fixtures/airport_list_builder.h"
#include "fixtures/livery_tables.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/file_names.h"
#include "foundation/settings_file.h"
#include "foundation/settings_reset.h"
#include "foundation/temp_folder.h"
#include "foundation/worker_thread.h"
#include "intake/intake.h"
#include "intake/intake_socket_helpers.h"
#include "liveries/aircraft_database.h"
#include "rt-standin/rt_standin.h"
#include "simlink/simlink_test_helpers.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/parking/stand_helpers.h"

namespace {

namespace fs = std::filesystem;
constexpr double kLeabElevationFt = 2302.0;
constexpr int kStepsPerReport = 10;  // the run's user reports come once a second; here faster

fs::path lf_realworld() { return fs::path(ZENDRIK_REALWORLD_DIR); }

// The stands of a stand file, helipads left out.
std::vector<fixtures::StandRow> lf_standsOf(const fs::path& file) {
  pugi::xml_document document;
  document.load_file(file.c_str());
  std::vector<fixtures::StandRow> stands;
  for (const pugi::xml_node& p : document.child("parkpositions").children("parkpos")) {
    if (!p.attribute("heli").as_bool()) {
      stands.emplace_back(p.attribute("id").value(), p.attribute("latitude").as_double(),
                          p.attribute("longitude").as_double());
    }
  }
  return stands;
}

// A parked (or, airborne, cruising) RealTraffic record at the time stamp.
std::string lf_record(std::uint32_t id, const LatLon& at, double altFt, const std::string& callsign,
                      const std::string& registration, double stamp) {
  return fmt::format("RTTFC,{},{:.6f},{:.6f},{:.0f},0,{},90,{},{},B738,{},ABC,MAD,{:.2f},X,,adsb_icao,"
                     "0,0,{},0,0,0,0,90,0,none,A3,1013,0,0,0,,0,0,0,0,0,0,1,0,,",
                     id, at.lat, at.lon, altFt, altFt > 0 ? 1 : 0, altFt > 0 ? 250 : 0, callsign,
                     registration, stamp, altFt > 0 ? 250 : -1);
}

class ParkEndToEndTest : public linktest::LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    if (!fs::exists(lf_realworld() / "bgl/LEAB_ARV187")) {
      GTEST_SKIP() << "real-world sample folder not found: " << ZENDRIK_REALWORLD_DIR;
    }
    gf_markWorkerThread();
    gf_testResetSettings();
    gf_resetTraffic();
    gf_resetParkAirports();
    ::setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/", 1);
    ::setenv("ZENDRIK_DRIVE_D", (lf_realworld() / "bgl").c_str(), 1);
    g_paramRandom.setValue(false);
    g_paramAirportHeight.setValue(2000);
    g_dbaseWingspans["B738"] = 35.8;
    g_dbaseRegs = {{"EC-AAA", {"IBE", "B738", "", false}}};
    gf_setEngineSimLinkHooks();
    layOutLeab();
  }
  void TearDown() override {
    stopRun();
    gf_resetTraffic();
    gf_resetParkAirports();
    for (const char* name : {"ZENDRIK_DOWNLOAD_URL", "ZENDRIK_DRIVE_D"}) ::unsetenv(name);
    g_dbaseRegs.clear();
    gf_testResetSettings();
    LinkTest::TearDown();
  }

  // The airport list of real coordinates, LEAB's stand file from the scan of the real BGL, a
  // learned file with six options around now, and the liveries of their airline.
  void layOutLeab() {
    fixtures::writeAirportList(g_inputDir / g_airportsP3dFile, fixtures::airportRowsFromOpenFlights(
                                                                   lf_realworld() / "misc/openflights/airports.dat"));
    g_airportsLoaded = false;
    ASSERT_TRUE(gf_readAirports());
    g_parametersFile = fs::current_path() / "parameters.xml";
    g_paramSimInstallPath.setValue("C:\\Prepar3D v5\\");
    g_paramAfolder[0].setValue("D:\\LEAB_ARV187");
    g_paramAfgAutomatic.setValue(false);
    g_paramScanAirports.setValue(true);
    g_dbasePublishers = {{"ARV"}};
    gf_scanAirports();
    stands = lf_standsOf(g_myThirdpartyDir / "LEAB.xml");
    ASSERT_GE(stands.size(), 10u);
    fixtures::StandFileLayout learned;
    learned.parameters = {{"airport_name", "Albacete"}};
    for (std::uint32_t k = 0; k < 6; ++k) {  // IBE1 at fit 0 ... IBE6 at fit 5
      const DayHh at = gf_slotsBefore(gf_dayHhNow(), k);
      learned.stands.push_back(stands[k]);
      learned.stands.back().options = {fmt::format(R"(<opt airl="IBE" type="B738" day="{}" hh="{}" cs="IBE{}"/>)",
                                                   at.day, at.hh, k + 1)};
    }
    fixtures::writeStandFile(g_learnedDir / "thirdparty/ARV/LEAB.xml", learned);
    fixtures::gf_useLiveries({{"IBE", "B738", "Stand-in B738 Iberia", "", 1, false}});
  }

  // The user parked at LEAB (not on a stand of the options), the simulator and the reader.
  void startRun() {
    g_dayHhNow = gf_dayHhNow();  // the tick's duty
    standin = simtest::gf_startStandin(
        {{"user", {{"object_id", 2}, {"atc_model", "B738"},
                   {"path", {{{"t", 0}, {"lat", stands.back().lat}, {"lon", stands.back().lon}, {"alt_ft", kLeabElevationFt}}}}}},
         {"ground_elevation_ft", kLeabElevationFt}});
    env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(standin->port()));
    worker.start();
    ASSERT_TRUE(worker.startFlight());
    trafficPort = intake_test::freeUdpPort();
    g_trafficReader.start(trafficPort);
    gf_setAcceptTraffic(true);
  }
  // RealTraffic's record of one aircraft, sent every second.
  void startFeed(std::uint32_t id, const LatLon& at, double altFt, const std::string& callsign,
                 const std::string& registration) {
    const fs::path file = env.currentFolder() / "traffic.txt";
    std::ofstream(file) << lf_record(id, at, altFt, callsign, registration, 1.8e9) << "\n"
                        << lf_record(id, at, altFt, callsign, registration, 1.8e9 + 1) << "\n";
    rtstandin::Options options;
    options.trafficPort = trafficPort;
    options.weatherPort = intake_test::freeUdpPort();
    options.loop = true;
    replay = std::thread([this, options, recording = rtstandin::loadRecording(file.string())] {
      rtstandin::replay(recording, options, stopReplay);
    });
  }
  void stopRun() {
    stopReplay = true;
    if (replay.joinable()) replay.join();
    stopReplay = false;
    g_trafficReader.stop();
    worker.stop();
    if (standin) standin->stop();
    gf_resetTraffic();
    gf_resetParkAirports();
    linktest::gf_resetForRun();
    steps = 0;
  }
  // Engine steps every 10 ms with the park-airport step every 16 user reports, until done.
  bool stepUntil(const std::function<bool()>& done, double seconds = 60) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!done() && std::chrono::steady_clock::now() < end) {
      gf_liveTrafficStep();
      if (++steps % kStepsPerReport == 0) {
        const std::uint32_t report = steps / kStepsPerReport;
        g_trafficReader.setUserPosition(g_userAcSnapshot.latitude, g_userAcSnapshot.longitude);
        if (report == 1 || report % 16 == 0) gf_handleParkAirport(report == 1);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return done();
  }
  std::vector<p3d::RecordedRequest> requests(p3d::RequestKind kind) const {
    std::vector<p3d::RecordedRequest> found = standin->requests();
    std::erase_if(found, [kind](const p3d::RecordedRequest& r) { return r.request.kind != kind; });
    return found;
  }
  std::vector<p3d::SimObject> statics() const {
    std::vector<p3d::SimObject> found = standin->aiObjects();
    std::erase_if(found, [](const p3d::SimObject& o) { return !o.atcId.ends_with('*'); });
    return found;
  }

  std::vector<fixtures::StandRow> stands;
  std::unique_ptr<p3d::P3dStandin> standin;
  linktest::TestWorker worker;
  std::thread replay;
  std::atomic<bool> stopReplay{false};
  std::uint32_t steps = 0;
  std::uint16_t trafficPort = 0;
};

}  // namespace

TEST_F(ParkEndToEndTest, ParkedAtLeabThenClimbingAwayAndBack) {
  // Run 1: the user parked at LEAB. Its static aircraft are created one per 50 steps, best fit first.
  startRun();
  const std::size_t wanted = 6;  // the options learned for now: fewer than the wanted 30 %
  const auto created = [this] { return requests(p3d::RequestKind::AICreateNonATCAircraft); };
  ASSERT_TRUE(stepUntil([&] { return created().size() == wanted && !g_busy; }));
  // Paced in engine steps, not in time: a loaded machine may send two in one simulator frame.
  constexpr std::uint32_t kStepsPerCreation = 50;
  EXPECT_GE(steps, kStepsPerCreation * (wanted - 1));
  for (std::size_t k = 0; k < wanted; ++k) {
    EXPECT_EQ(created()[k].request.text2, fmt::format("IBE{}*", k + 1));
  }
  ASSERT_TRUE(stepUntil([this, wanted] {
    const auto parked = statics();
    return parked.size() == wanted &&
           std::all_of(parked.begin(), parked.end(), [](const p3d::SimObject& o) { return o.lights & p3d::kLightLogo; });
  }));

  // The real IBE1 reports from its stand: born parked, it takes the stand of its static twin.
  startFeed(4000011, {stands[0].lat, stands[0].lon}, 0, "IBE1", "EC-AAA");
  ASSERT_TRUE(stepUntil([this] {
    const auto objects = standin->aiObjects();
    return std::none_of(objects.begin(), objects.end(), [](const p3d::SimObject& o) { return o.atcId == "IBE1*"; }) &&
           std::any_of(objects.begin(), objects.end(), [](const p3d::SimObject& o) { return o.atcId == "IBE1"; });
  }));

  // Climbing past AIRPORT_HEIGHT: every parked aircraft goes once, what was learned is saved.
  standin->placeUser({0, stands.back().lat, stands.back().lon, kLeabElevationFt + 3000, 0, 0, 0, 250, false});
  ASSERT_TRUE(stepUntil([this] { return g_parkAirportIcao.empty() && standin->aiObjects().empty(); }));
  std::set<std::uint32_t> removed;
  for (const p3d::RecordedRequest& r : requests(p3d::RequestKind::AIRemoveObject)) removed.insert(r.request.u[0]);
  EXPECT_EQ(removed.size(), wanted + 1);
  EXPECT_EQ(requests(p3d::RequestKind::AIRemoveObject).size(), wanted + 1);
  EXPECT_NE(gf_testReadAll(g_learnedDir / "thirdparty/ARV/LEAB.xml").find("EC-AAA"), std::string::npos);

  // Run 2 leaves IBE1 out and has IBE2 in the air: IBE1's static is back on its stand, IBE2's
  // option is passed over.
  stopRun();
  startRun();
  startFeed(4000012, {38.9, -1.9}, 6000, "IBE2", "");
  ASSERT_TRUE(stepUntil([] { return g_parkAirportIcao == "LEAB" && !g_parkCalcPending && !g_busy; }));
  ASSERT_TRUE(stepUntil([&] { return statics().size() == created().size(); }));
  std::string tails;
  for (const p3d::SimObject& o : statics()) {
    tails += o.atcId + " ";
    EXPECT_TRUE(o.atcId != "IBE1*" || gf_distanceNm({o.lat, o.lon}, {stands[0].lat, stands[0].lon}) < 0.001);
  }
  EXPECT_NE(tails.find("IBE1* "), std::string::npos) << tails;
  EXPECT_EQ(tails.find("IBE2* "), std::string::npos) << tails;
  const ParkPos& first = *gf_findStandByName(stands[0].id);
  EXPECT_TRUE(std::any_of(first.options.begin(), first.options.end(),
                          [](const ParkPosOption& o) { return o.reg == "EC-AAA" && o.cs == "IBE1"; }));
}
