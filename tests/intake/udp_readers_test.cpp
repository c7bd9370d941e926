// The readers' datagram handling, driven through the same entry the receive loop uses: the
// traffic intake into the live-traffic buffer, the duplicate filter, the QNH rules and the lamp
// watchdog.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/day_slots.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "intake/traffic_record_helpers.h"
#include "liveries/aircraft_database.h"

using intake_test::Record;

namespace {

class IntakeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    intake_test::prepareIntake(reader);
    g_tickCount = 500;
    g_qnh = 1013;
    weather.resetIntake();
  }
  void TearDown() override {
    gf_setAcceptTraffic(false);
    g_rtOnThisPc = false;
  }

  std::size_t bufferSize() {
    std::lock_guard lock(g_trafficMutex);
    return g_liveTrafficBuffer.size();
  }
  void feed(const std::string& datagram) { reader.receive(datagram); }
  void weatherFeed(const std::string& datagram) { weather.receive(datagram); }

  TrafficReader reader;
  WeatherReader weather;
};

}  // namespace

TEST_F(IntakeTest, AcceptedRecordIsAppendedWithDueTime) {
  feed(Record().text());
  ASSERT_EQ(bufferSize(), 1u);
  std::lock_guard lock(g_trafficMutex);
  const TrafficReport& r = g_liveTrafficBuffer.front();
  EXPECT_EQ(r.position.dueTime, 3500);
  EXPECT_DOUBLE_EQ(r.timeStamp, 1724517659.49);
  EXPECT_EQ(r.callsign, "KLM1234");
}

TEST_F(IntakeTest, TrafficTimeFollowsEvenWhileIntakeIsOff) {
  gf_setAcceptTraffic(false);
  feed(Record().set(14, "1700000000.5").text());
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kReady);
  EXPECT_EQ(bufferSize(), 0u);
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), 1700000000.5);
  // A record dropped later still moves the time; an unreadable time keeps the old one.
  feed(Record().set(14, "1700000001").set(2, "nan").text());
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), 1700000001.0);
  feed(Record().set(14, "nan").text());
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), 1700000001.0);
}

// One report stamped in the future must neither be taken nor move the traffic time, which the
// time functions and the engine's report ages read.
TEST_F(IntakeTest, FutureStampJudgedByTheReadersClock) {
  static constexpr std::int64_t kNow = 1724517659;
  const WallClockFn saved = g_wallClock.exchange([] { return kNow; });
  feed(Record().set(14, "1724517659.5").text());
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), 1724517659.5);
  for (const char* stamp : {"1800000000", "1e300", "1724517690"}) {
    feed(Record().set(14, stamp).text());
    EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kFutureTimeStamp) << stamp;
  }
  feed(Record().set(14, "1724517689").set(1, "20000").text());  // within the delay
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kReady);
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), 1724517689.0);
  EXPECT_EQ(bufferSize(), 2u);
  g_wallClock.store(saved);
}

// The traffic time follows only stamps that can be traffic: a live run keeps its time against
// junk stamps; a run begun on a wrong stamp comes back at the first live one; a playback runs on
// its own time, and a playback set to another time is followed once nothing near the old one
// came for a minute.
TEST_F(IntakeTest, TrafficTimeHeldAgainstStampsThatCannotBeTraffic) {
  static std::atomic<std::int64_t> now{1724517659};
  const WallClockFn saved = g_wallClock.exchange([] { return now.load(); });
  const auto stampOf = [&](double stamp) {
    feed(Record().set(14, fmt::format("{:.1f}", stamp)).text());
    return reader.lastVerdict();
  };
  const double live = 1724517659.0;
  const double yearAgo = live - 365 * 86400.0;
  using V = TrafficVerdict;
  EXPECT_EQ(stampOf(live), V::kReady);
  for (const double junk : {0.0, -1e300, yearAgo}) EXPECT_NE(stampOf(junk), V::kReady) << junk;
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), live);

  reader.resetIntake();  // a run that begins on a wrong stamp
  EXPECT_EQ(stampOf(yearAgo), V::kReady);
  EXPECT_EQ(stampOf(live + 1.0), V::kReady);
  EXPECT_EQ(stampOf(yearAgo + 2.0), V::kStampFarOff);
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), live + 1.0);

  reader.resetIntake();  // playback of last week's traffic
  const double playback = live - 7 * 86400.0;
  EXPECT_EQ(stampOf(playback), V::kReady);
  now += 5;
  EXPECT_EQ(stampOf(playback + 5.0), V::kReady);
  EXPECT_EQ(stampOf(yearAgo), V::kStampFarOff);
  now += 59;  // the playback moved to another day: refused for a minute, then followed
  EXPECT_EQ(stampOf(playback - 86400.0), V::kStampFarOff);
  now += 1;
  EXPECT_EQ(stampOf(playback - 86400.0), V::kReady);
  EXPECT_EQ(stampOf(playback - 86399.0), V::kReady);
  EXPECT_DOUBLE_EQ(g_trafficTimeSec.load(), playback - 86399.0);
  g_wallClock.store(saved);
}

// A flood while the engine does not take: the buffer stops at its cap, dropping the oldest;
// taking it leaves it empty.
TEST_F(IntakeTest, FloodStopsAtTheBuffersCap) {
  constexpr std::uint32_t kFirstKey = 20000;
  const std::size_t flood = kLiveTrafficBufferCap + 5;
  for (std::uint32_t k = 0; k < flood; ++k)
    feed(Record().set(1, std::to_string(kFirstKey + k)).text());
  EXPECT_EQ(reader.droppedReports(), 5u);
  std::deque<TrafficReport> taken;
  gf_takeTrafficReports(taken);
  ASSERT_EQ(taken.size(), kLiveTrafficBufferCap);
  EXPECT_EQ(taken.front().key, kFirstKey + 5);
  EXPECT_EQ(taken.back().key, kFirstKey + flood - 1);
  EXPECT_EQ(bufferSize(), 0u);
  // Reports given back wait in front of those that came meanwhile, still within the cap.
  feed(Record().text());
  EXPECT_EQ(gf_returnTrafficReports(taken), 1u);
  EXPECT_TRUE(taken.empty());
  gf_takeTrafficReports(taken);
  ASSERT_EQ(taken.size(), kLiveTrafficBufferCap);
  EXPECT_EQ(taken.front().key, kFirstKey + 6);
  EXPECT_EQ(taken[kLiveTrafficBufferCap - 2].key, kFirstKey + flood - 1);
  gf_takeTrafficReports(taken);
  EXPECT_TRUE(taken.empty());
}

TEST_F(IntakeTest, VehiclesAreIgnored) {
  feed(Record().set(9, " VEH1").text());
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kVehicle);
  feed(Record().set(9, "VEH1").text());
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kReady);
  EXPECT_EQ(bufferSize(), 1u);
}

TEST_F(IntakeTest, DuplicateFilterOnlyForRealTrafficOnAnotherPc) {
  const std::string record = Record().text();
  feed(record);
  feed(record);
  EXPECT_EQ(bufferSize(), 2u);
  g_rtOnThisPc = false;
  feed(record);
  feed(record);
  EXPECT_EQ(bufferSize(), 3u);
  EXPECT_EQ(reader.datagramCount(), 4);  // counted even when filtered
}

TEST_F(IntakeTest, ParkAirportAndElevationReachTheFilter) {
  auto lastAirborne = [] {
    std::lock_guard lock(g_trafficMutex);
    return g_liveTrafficBuffer.back().position.airborne;
  };
  const std::string slow = Record().set(4, "180").set(8, "70").text();
  feed(slow);  // no park elevation: 180 ft at 70 kt flies
  ASSERT_EQ(reader.lastVerdict(), TrafficVerdict::kReady);
  EXPECT_TRUE(lastAirborne());
  reader.setParkElevation(100.0);  // 80 ft above the field at 70 kt: on the ground ...
  feed(Record().set(4, "180").set(8, "70").set(1, "20000").text());
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kGroundAwayFromPark);  // ... and no park airport
  reader.setParkAirport("EDDL", 51.1, 6.1);
  feed(Record().set(4, "180").set(8, "70").set(1, "20001").text());
  ASSERT_EQ(reader.lastVerdict(), TrafficVerdict::kReady);
  EXPECT_FALSE(lastAirborne());
  // The day's QNH, from a weather datagram, moves where a standing helicopter's reports read.
  g_dbaseRotorcraft = {"EC35"};
  Record standing = Record().set(10, "EC35").set(4, "375").set(8, "0");
  feed(standing.set(1, "20003").text());
  EXPECT_TRUE(lastAirborne());
  weatherFeed(R"({"QNH":1003})");
  feed(standing.set(1, "20004").text());
  EXPECT_FALSE(lastAirborne());
  g_dbaseRotorcraft.clear();
  reader.setParkAirport("", 0.0, 0.0);
  feed(Record().set(4, "180").set(8, "70").set(1, "20002").text());
  EXPECT_EQ(reader.lastVerdict(), TrafficVerdict::kGroundAwayFromPark);
}

TEST_F(IntakeTest, LiveCallsignsCollectedOnlyWhileAsked) {
  feed(Record().set(9, "DLH1").text());
  reader.setCollecting(true);
  feed(Record().set(9, "DLH2").set(10, "GLID").text());  // dropped later, still collected
  feed(Record().set(9, "DLH3").set(14, "x").text());     // dropped first: not collected
  feed(Record().set(9, "null").text());
  reader.setCollecting(false);
  feed(Record().set(9, "DLH4").text());
  EXPECT_EQ(reader.takeLiveCallsigns(), (std::set<std::string>{"DLH2"}));
  EXPECT_TRUE(reader.takeLiveCallsigns().empty());
}

TEST_F(IntakeTest, QnhValuesAndTheirStoring) {
  struct Case {
    const char* datagram;
    std::int32_t expected;
  };
  const Case cases[] = {
      {R"({"ICAO":"KLAX","QNH":2992})", 1013},
      {R"({"QNH":1013.6})", 1014},
      {R"({"QNH":"1009"})", 1009},
      {R"({"QNH":900})", 1009},
      {R"({"QNH":null})", 1009},
      {R"([1])", 1009},
      {R"({"QNH":"abc"})", 1009},
      {R"({"QNH":"99999999999"})", 1009},
      {R"({"QNH":{}})", 1009},
      {"not json", 1009},
      {R"({"METAR":"x"})", 1009},
      {R"({"QNH":"2996"})", 1015},
      {R"({"QNH":1e300})", 1015},
      {R"({"QNH":18446744073709551615})", 1015},
  };
  for (const auto& c : cases) {
    weatherFeed(c.datagram);
    EXPECT_EQ(g_qnh.load(), c.expected) << c.datagram;
  }
  EXPECT_EQ(g_mainWindowState.qnhShown.load(), 1015u);
}

TEST_F(IntakeTest, RepeatedQnhIsStoredAgainOnlyWhen1013) {
  g_rtOnThisPc = true;  // no duplicate filter in the way
  weatherFeed(R"({"QNH":1020})");
  g_mainWindowState.weatherLamp = 2;
  weatherFeed(R"({"QNH":1020})");
  EXPECT_EQ(g_mainWindowState.weatherLamp.load(), 2u);  // not stored again
  weatherFeed(R"({"QNH":1013})");
  EXPECT_EQ(g_mainWindowState.weatherLamp.load(), 1u);
  g_mainWindowState.weatherLamp = 2;
  weatherFeed(R"({"QNH":1013})");
  EXPECT_EQ(g_mainWindowState.weatherLamp.load(), 1u);  // 1013 is stored every time
}

TEST(ReaderLamps, WatchdogMarksStaleReadersAndTheirReturn) {
  g_rtOnThisPc = true;
  gf_resetIntake();
  g_rtLamp = 0;
  g_mainWindowState.trafficLamp = 1;
  g_mainWindowState.weatherLamp = 1;
  gf_checkReaderLamps();  // RealTraffic lamp off: nothing changes
  EXPECT_EQ(g_mainWindowState.trafficLamp.load(), 1u);
  g_rtLamp = 1;
  g_trafficReader.lastSeenCount = g_trafficReader.datagramCount();
  gf_checkReaderLamps();
  EXPECT_EQ(g_mainWindowState.trafficLamp.load(), 2u);
  EXPECT_EQ(g_mainWindowState.weatherLamp.load(), 2u);
  g_trafficReader.receive("RTTFC,1");
  gf_checkReaderLamps();
  EXPECT_EQ(g_mainWindowState.trafficLamp.load(), 1u);
  EXPECT_EQ(g_mainWindowState.weatherLamp.load(), 2u);
  g_trafficReader.receive("RTTFC,2");
  g_mainWindowState.trafficLamp = 2;  // already shown receiving: the watchdog leaves it
  gf_checkReaderLamps();
  EXPECT_EQ(g_mainWindowState.trafficLamp.load(), 2u);
  g_rtLamp = 0;
  g_rtOnThisPc = false;
}
