// The park-airport step over scripted user positions: choosing on the ground (stock files from a
// local HTTP server) and in the air, giving up, the destination, and Re-read's reserved stand.
#include <chrono>
#include <thread>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "park_test_support.h"
#include "shell/intake/intake.h"

namespace traffictest {
namespace {

using ParkStepTest = ParkTest;

const LatLon kEham = kField;
const LatLon kEhle{52.4603, 5.5272};

// Steps until the condition holds (the stand-file check answers from a background task).
template <typename Condition>
bool lf_stepUntil(Condition condition) {
  for (int i = 0; i < 200 && !condition(); ++i) {
    gf_handleParkAirport(false);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return condition();
}

TEST_F(ParkStepTest, OnTheGroundAtAnAirportWithAndWithoutAStandFile) {
  serveStockFiles();
  gf_writeParkFile("server/P3D/archive/stock/EHAM.xml", "stock",
                   {gf_standRow("A1", 0, 100), gf_standRow("A2", 90, 100)});
  gf_handleParkAirport(true);  // (0, 0): not placed yet
  EXPECT_FALSE(logged("User aircraft"));

  gf_userAt({kEhle.lat + 0.3, kEhle.lon}, true);
  gf_handleParkAirport(false);
  EXPECT_TRUE(logged("User aircraft on the ground, no airport in sight"));
  gf_userAt(kEhle, true);
  EXPECT_TRUE(lf_stepUntil([this] { return logged("on the ground at EHLE, no airport file found"); }));

  gf_userAt(kEham, true);
  ASSERT_TRUE(lf_stepUntil([] { return !g_parkAirportIcao.empty(); }));
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::parkAirportText), "EHAM (AMS)");
  EXPECT_TRUE(g_parkCalcPending && g_busy && g_trafficReader.collecting());
  gf_handleParkAirport(false);  // reads the stock file and calculates
  EXPECT_FALSE(g_parkCalcPending);
  EXPECT_EQ(g_parkStands.size(), 2u);
  EXPECT_TRUE(g_parkStandsReady && g_trafficReader.filterContext().parkElevationFt == -11.0);
  EXPECT_TRUE(logged("User aircraft on the ground at EHAM") && logged("The park airport is EHAM (AMS)"));
}

TEST_F(ParkStepTest, InSightOutOfSightANearerAirportAndTheDestination) {
  g_paramAirportRange.setValue(30);
  g_paramAirportHeight.setValue(3000);
  for (const char* icao : {"EHAM", "EHLE"}) {
    gf_writeParkFile(g_myThirdpartyDir / (std::string(icao) + ".xml"), "Aerosoft", {gf_standRow("A1", 0, 100)});
  }
  gf_testWriteFile(g_myParkAirportsFile, "EHAM\nEHLE\n");
  ASSERT_TRUE(lf_readMyParkAirports());
  const auto west = [](double nm) { return gf_destination(kEham, 270.0 * kDegToRad, nm * kFeetPerNm); };
  struct Case {
    double nmWest, agl;
    bool current;
  };
  for (const Case c : {Case{30.01, 1000, false}, Case{29.99, 3001, false}, Case{29.99, 3000, true}}) {
    gf_userAt(west(c.nmWest), false, c.agl);
    gf_handleParkAirport(false);
    EXPECT_EQ(g_parkAirportIcao.empty(), !c.current) << c.nmWest << " " << c.agl;
  }
  EXPECT_TRUE(logged("EHAM in sight at 30.0 nm"));
  gf_handleParkAirport(false);  // reads its stands
  EXPECT_TRUE(g_parkStandsReady);

  // Between the two, EHLE nearer: EHAM is given up first, then EHLE becomes current.
  gf_userAt({kEham.lat + 0.55 * (kEhle.lat - kEham.lat), kEham.lon + 0.55 * (kEhle.lon - kEham.lon)},
            false, 1000);
  gf_handleParkAirport(false);
  EXPECT_TRUE(g_parkAirportIcao.empty() && !g_parkStandsReady);
  EXPECT_TRUE(logged("EHLE is in sight (13.") && logged("parked aircraft at EHAM (AMS) will be removed first"));
  gf_handleParkAirport(false);
  EXPECT_EQ(g_parkAirportIcao, "EHLE");
  gf_handleParkAirport(false);
  gf_userAt(west(10), false, 1000);
  gf_handleParkAirport(false);
  EXPECT_TRUE(g_parkAirportIcao.empty() && logged("EHLE is out of sight (39."));

  // The destination keeps the front, and its distance follows the user: out of sight again.
  g_paramAirportRange.setValue(20);
  g_paramDestination.setValue("EHLE");
  gf_setParkAirport("EHLE", kEhle);
  for (const auto& [at, current] : {std::pair{kEham, ""}, std::pair{kEhle, "EHLE"}, std::pair{kEham, ""}}) {
    gf_userAt(at, false, 1000);
    gf_handleParkAirport(false);
    EXPECT_EQ(g_parkAirports.front().icao, "EHLE");
    EXPECT_NEAR(g_parkAirports.front().distance, gf_distanceNm(at, kEhle), 0.01);
    EXPECT_EQ(g_parkAirportIcao, current);
    if (g_parkCalcPending) gf_handleParkAirport(false);
  }
}

TEST_F(ParkStepTest, RereadMovesTheReservedStandAndClearsIt) {
  gf_writeParkFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft",
                   {gf_standRow("A1", 0, 100), gf_standRow("A2", 90, 100), gf_standRow("A3", 180, 100)});
  gf_testWriteFile(g_myParkAirportsFile, "EHAM,A1\n");
  ASSERT_TRUE(lf_readMyParkAirports() && lf_setCurrentParkAirport("EHAM"));
  std::string message;
  lf_readParkedFile(message);
  ASSERT_EQ(message, "");
  EXPECT_EQ(g_reservedStand, "A1");
  gf_addStatic("A320", "KLM11*", 2, {1, 20}, 31);

  gf_testWriteFile(g_myParkAirportsFile, "EHAM,A2\nEHLE\n");
  g_paramDestination.setValue("EHLE");
  ASSERT_TRUE(gf_checkParkAirports(true, message));
  EXPECT_EQ(message, "reserved stand changed from \"A1\" to \"A2\"");
  EXPECT_EQ(g_parkAirports.front().icao, "EHLE");  // the destination stays first
  EXPECT_TRUE(!g_parkStands[0].reserved && g_parkStands[1].reserved);
  EXPECT_EQ(g_staticAc[0].st, static_cast<std::uint32_t>(kStRemovingFromSim));
  EXPECT_EQ(g_removeWait, std::deque<std::uint32_t>{31});
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::reservedStandText), "A2");

  message.clear();
  ASSERT_TRUE(gf_checkParkAirports(true, message));
  EXPECT_EQ(message, "park airports and stands are okay");
}

}  // namespace
}  // namespace traffictest
