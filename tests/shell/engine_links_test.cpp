// What the window takes from the engine: the user's situation for auto range (the worker's copy
// of the user aircraft and the first park airport), and the park airport's texts that the worker
// publishes for the painter.
#include <gtest/gtest.h>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/worker_thread.h"
#include "shell/shell.h"
#include "shell_test_helpers.h"
#include "simlink/simlink.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

using shelltest::ShellWindowTest;
constexpr LatLon kUser{52.3, 4.76};

class EngineLinksTest : public ShellWindowTest {
 protected:
  void SetUp() override {
    ShellWindowTest::SetUp();
    gf_markWorkerThread();
    g_userAcSnapshot = {};
    g_userAcSnapshot.latitude = kUser.lat;
    g_userAcSnapshot.longitude = kUser.lon;
    g_userOnGround = false;
  }
  void TearDown() override {
    g_airports.clear();
    g_parkAirports.clear();
    g_parkStands.clear();
    gf_forgetStandNames();
    gf_clearCurrentParkAirport();
    g_userAcSnapshot = {};
    g_mainWindowState.reservedStandKnown = 0;
    ShellWindowTest::TearDown();
  }
  static std::string shown(std::string MainWindowState::*field) {
    return g_mainWindowState.text(field);
  }
};

// The park airport due north of the user at d nm; the radius follows, and the field shows it.
TEST_F(EngineLinksTest, AutoRangeFromTheUserAircraftAndTheFirstParkAirport) {
  for (const auto& [d, altitude, radius] :
       {std::tuple{7.0, 1000.0, 10}, std::tuple{7.4, 1000.0, 10}, std::tuple{12.2, 1000.0, 15},
        std::tuple{36.6, 1000.0, 40}, std::tuple{37.0, 1000.0, 40},
        std::tuple{12.2, 60000.0, 100}}) {
    SCOPED_TRACE(d);
    g_userAcSnapshot.altitude = altitude;
    g_parkAirports = {ParkAirport{"EHAM", "", gf_destination(kUser, 0.0, d * kFeetPerNm), 0.0},
                      ParkAirport{"EHRD", "", kUser, 0.0}};  // nearer, but not first
    gf_autoRange();
    EXPECT_EQ(g_paramLateralRange.value(), radius);
    EXPECT_EQ(g_trafficRadiusM.load(), static_cast<std::uint32_t>(radius) * 1852u);
    EXPECT_EQ(lf_getTextFromId(g_paramLateralRange.controlId), std::to_string(radius));
  }
  g_parkAirports.clear();  // no park airport at all: far away
  g_userAcSnapshot.altitude = 1000.0;
  gf_autoRange();
  EXPECT_EQ(g_paramLateralRange.value(), 40);
  g_userOnGround = true;
  gf_autoRange();
  EXPECT_EQ(g_paramLateralRange.value(), 10);
}

TEST_F(EngineLinksTest, ParkAirportTextsFollowTheEngine) {
  g_airports = {AirportEntry{"EHAM", "AMS", kUser.lat, kUser.lon, -11.0}};
  g_parkAirports = {ParkAirport{"EHAM", "D7", kUser, 0.0}};
  g_parkAirportIcao = "EHAM";
  g_parkStandsReady = false;  // the stand file is not read yet: no reserved stand to show
  lf_publishEngineTexts();
  EXPECT_EQ(shown(&MainWindowState::parkAirportText), "EHAM (AMS)");
  EXPECT_EQ(shown(&MainWindowState::reservedStandText), "");

  g_parkStandsReady = true;  // read, but the file lacks the stand the user asked for: red
  lf_publishEngineTexts();
  EXPECT_EQ(shown(&MainWindowState::reservedStandText), "D7");
  EXPECT_EQ(g_mainWindowState.reservedStandKnown.load(), 0);

  g_parkStands.emplace_back("D7", std::vector<ParkPosOption>{}, StandPlace{kUser.lat, kUser.lon, 0.0},
                            30.0, true, true, true);
  gf_forgetStandNames();
  g_reservedStand = "D7";
  lf_publishEngineTexts();
  EXPECT_EQ(shown(&MainWindowState::reservedStandText), "D7");
  EXPECT_EQ(g_mainWindowState.reservedStandKnown.load(), 1);

  g_parkAirportIcao = "EHRD";  // not in the airport list: its code stands for it
  lf_publishEngineTexts();
  EXPECT_EQ(shown(&MainWindowState::parkAirportText), "EHRD");

  g_parkAirportIcao.clear();
  lf_publishEngineTexts();
  EXPECT_EQ(shown(&MainWindowState::parkAirportText), "");
  EXPECT_EQ(shown(&MainWindowState::reservedStandText), "");
}

// Makes the destination the first park airport, once; a known one moves to the front.
TEST_F(EngineLinksTest, DestinationBecomesTheFirstParkAirport) {
  g_parkAirports = {ParkAirport{"EHRD", "", kUser, 0.0}, ParkAirport{"EHAM", "", kUser, 0.0}};
  lf_setDestination("EHAM", kUser);
  lf_setDestination("EDDF", LatLon{50.03, 8.57});
  ASSERT_EQ(g_parkAirports.size(), 3u);
  EXPECT_EQ(g_parkAirports[0].icao, "EDDF");
  EXPECT_EQ(g_parkAirports[1].icao, "EHAM");
  EXPECT_EQ(g_parkAirports[2].icao, "EHRD");
  EXPECT_EQ(fileEntry("DESTINATION"), "EDDF");
}

}  // namespace
