// The traffic record parser and filter: each rule family, the mended malformed-input cases, the
// real recorded records and a fuzz run.
#include "intake/traffic_parser.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <random>

#include "foundation/geometry.h"
#include "liveries/aircraft_database.h"
#include "intake/traffic_record_helpers.h"

using intake_test::defaultContext;
using intake_test::Record;

namespace {

TrafficVerdict lf_parse(const Record& record, TrafficFilterContext context = defaultContext()) {
  ParsedTraffic out;
  return record.parse(context, out);
}

ParsedTraffic lf_parsed(const Record& record, TrafficFilterContext context = defaultContext()) {
  ParsedTraffic out;
  EXPECT_EQ(record.parse(context, out), TrafficVerdict::kReady) << record.text();
  return out;
}

}  // namespace

TEST(TrafficParser, ValidRecordFillsEveryField) {
  const auto out = lf_parsed(Record());
  const TrafficReport& r = out.report;
  EXPECT_EQ(r.key, 4958582u);
  EXPECT_EQ(r.type, "B738");
  EXPECT_EQ(r.callsign, "KLM1234");
  EXPECT_EQ(r.registration, "PH-BXA");
  EXPECT_EQ(r.origin, "AMS");
  EXPECT_EQ(r.destination, "DUS");
  EXPECT_TRUE(r.airline.empty());
  EXPECT_EQ(r.word, 0u);
  EXPECT_DOUBLE_EQ(r.timeStamp, 1724517659.49);
  EXPECT_DOUBLE_EQ(r.position.lat, 51.1);
  EXPECT_DOUBLE_EQ(r.position.lon, 6.1);
  EXPECT_DOUBLE_EQ(r.position.altitude, 12000.0);
  EXPECT_DOUBLE_EQ(r.position.groundSpeed, 280.4);
  EXPECT_DOUBLE_EQ(r.position.track, 230.5);
  EXPECT_DOUBLE_EQ(r.position.verticalSpeed, -640.0);
  EXPECT_DOUBLE_EQ(r.position.trueAirspeed, 300.0);
  EXPECT_TRUE(r.position.airborne);
  EXPECT_FALSE(r.position.samePosition);
  EXPECT_TRUE(r.position.trueHeadingPresent);
  EXPECT_TRUE(r.position.headingPresent);
  EXPECT_NEAR(r.position.trueHeading, 229.5 * kDegToRad, 1e-12);
  EXPECT_TRUE(r.position.rollPresent);
  EXPECT_NEAR(r.position.roll, -0.17453292519943295, 1e-12);
  ASSERT_TRUE(out.timeStamp);
  EXPECT_EQ(out.callsignToCollect, "KLM1234");
}

// The verdict of each rule family on one changed field, against the default context.
TEST(TrafficParser, EachRuleGivesItsVerdict) {
  using V = TrafficVerdict;
  struct Case {
    std::size_t field;
    std::vector<const char*> values;
    TrafficVerdict verdict;
  };
  const Case cases[] = {
      {2, {"90.5"}, V::kOutsideWorld},
      {3, {"-180.01"}, V::kOutsideWorld},
      {10,
       {"null", "0", "ZZZZ", "", "GRND", "GLID", "SERV", "BALL", "PARA", "SHIP", "EMER", "B7378"},
       V::kFilteredType},
      {28, {"B1", "B2", "B4", "C1", "C2"}, V::kFilteredType},
      {28, {"null", ""}, V::kReady},
      {1, {"10000", "123abc"}, V::kKeyTooLow},
      {1, {"abc", "4294967296", "-20000"}, V::kBadKey},
      {25, {"360.01"}, V::kHeadingAbove360},
      {25, {"", "nan"}, V::kBadHeading},
      {20, {""}, V::kBadAirspeed},
      {23, {"null"}, V::kBadRoll},
      {11, {"ABCDEFGHIJKLM"}, V::kLongRegistration},
      {9, {"AIRPORT1", "ERARMTR0"}, V::kBlockedCallsign},
      // Non-finite and malformed numbers are failed reads.
      {2, {"nan"}, V::kBadPosition},
      {3, {"-inf", " 6.1", "+6.1"}, V::kBadPosition},
      {14, {"inf", "1e400"}, V::kBadTimeStamp},
      {8, {"nan"}, V::kBadSpeedOrAltitude},
      {5, {"nan"}, V::kBadVerticalSpeed},
      {7, {"x"}, V::kBadTrack},
      // Altitudes no aircraft reports; the limits themselves pass.
      {4, {"1e300", "100000.01", "-2000.01", "-1e300"}, V::kAltitudeOutOfRange},
      {4, {"100000"}, V::kReady},
      {4, {"-2000"}, V::kGroundAwayFromPark},
      // Speeds and angles no aircraft reports, refused before the ground rule sees the speed.
      {8, {"-250", "-0.1", "2000.1", "1e9"}, V::kGroundSpeedOutOfRange},
      {8, {"2000"}, V::kReady},
      {5, {"1e7", "-40000.1"}, V::kVerticalSpeedOutOfRange},
      {5, {"40000", "-40000"}, V::kReady},
      {7, {"1e12", "-0.5", "360.01"}, V::kTrackOutOfRange},
      {7, {"360", "-0"}, V::kReady},
      {23, {"180.5", "-1e300"}, V::kRollOutOfRange},
      {23, {"-180", "180"}, V::kReady},
      {20, {"-250", "-0.1", "2000.1", "1e9"}, V::kAirspeedOutOfRange},
      {20, {"2000", "-1"}, V::kReady},
      // Stamps that cannot be traffic.
      {14, {"0", "-1", "-1e300", "946684799.9"}, V::kStampBefore2000},
      {14, {"946684800"}, V::kReady},
  };
  for (const Case& c : cases) {
    for (const char* value : c.values) {
      EXPECT_EQ(gf_trafficVerdictName(lf_parse(Record().set(c.field, value))),
                gf_trafficVerdictName(c.verdict))
          << c.field << ": " << value;
    }
  }
  // With no category the type list is not consulted.
  EXPECT_EQ(lf_parse(Record().set(10, "GLID").set(28, "null")), V::kReady);
  EXPECT_EQ(lf_parse(Record().set(4, "300").set(8, "30")), V::kGroundAwayFromPark);  // no park
  EXPECT_EQ(lf_parse(Record().set(9, "KL@123").set(11, "")), V::kNoName);
  EXPECT_EQ(lf_parse(Record().set(9, "null").set(11, "null")), V::kNoName);
  AircraftIdent ident;
  ident.type = "A320";
  EXPECT_TRUE(gf_acceptTraffic(ident, std::string("A3")));
  ident.type.clear();
  EXPECT_FALSE(gf_acceptTraffic(ident, std::string()));
}

// A record stamped more than the report delay after the reader's clock is refused, and its
// stamp is not taken as the traffic time.
TEST(TrafficParser, TimeStampFromTheFuture) {
  const Record record;  // stamped 1724517659.49
  const struct {
    std::optional<std::int64_t> clock;
    const char* stamp;
    TrafficVerdict verdict;
  } cases[] = {{1724517630, "1724517659.49", TrafficVerdict::kReady},  // 29.49 s ahead
               {1724517629, "1724517659.49", TrafficVerdict::kFutureTimeStamp},
               {1724517659, "1800000000", TrafficVerdict::kFutureTimeStamp},
               {1724517659, "1e300", TrafficVerdict::kFutureTimeStamp},
               {1724517659, "1000000000", TrafficVerdict::kReady},  // old stamps are RealTraffic's
               {std::nullopt, "1e300", TrafficVerdict::kReady}};
  for (const auto& c : cases) {
    auto context = defaultContext();
    context.clockSec = c.clock;
    ParsedTraffic out;
    const TrafficVerdict verdict = Record(record).set(14, c.stamp).parse(context, out);
    EXPECT_EQ(gf_trafficVerdictName(verdict), gf_trafficVerdictName(c.verdict)) << c.stamp;
    EXPECT_EQ(out.timeStamp.has_value(), c.verdict == TrafficVerdict::kReady) << c.stamp;
  }
}

// A stamp far from the traffic time the run holds is refused unless it lies near the clock (live
// traffic); with no traffic time held (a run's start, a feed that moved) any stamp of this century
// is taken, so RealTraffic's playback of past traffic starts and runs on its own time.
TEST(TrafficParser, TimeStampFarFromTheTrafficTime) {
  constexpr double kNow = 1724517659.0;
  constexpr double kWeekAgo = kNow - 7 * 86400.0;
  constexpr double kYear = 365 * 86400.0;
  const struct {
    const char* what;
    std::optional<double> trafficTime;
    double stamp;
    TrafficVerdict verdict;
  } cases[] = {
      {"live, a year old", kNow, kNow - kYear, TrafficVerdict::kStampFarOff},
      {"live, 15 min old", kNow, kNow - kStampWindowSec, TrafficVerdict::kReady},
      {"live, 16 min old", kNow, kNow - 960.0, TrafficVerdict::kStampFarOff},
      {"playback, moving on", kWeekAgo, kWeekAgo + 5.0, TrafficVerdict::kReady},
      {"playback, a year before it", kWeekAgo, kWeekAgo - kYear, TrafficVerdict::kStampFarOff},
      {"playback, then live", kWeekAgo, kNow - 3.0, TrafficVerdict::kReady},
      {"nothing held, a year old", std::nullopt, kNow - kYear, TrafficVerdict::kReady},
  };
  for (const auto& c : cases) {
    auto context = defaultContext();
    context.clockSec = static_cast<std::int64_t>(kNow);
    context.trafficTimeSec = c.trafficTime;
    ParsedTraffic out;
    const auto verdict = Record().set(14, fmt::format("{:.2f}", c.stamp)).parse(context, out);
    EXPECT_EQ(gf_trafficVerdictName(verdict), gf_trafficVerdictName(c.verdict)) << c.what;
    EXPECT_EQ(out.timeStamp.has_value(), c.verdict == TrafficVerdict::kReady) << c.what;
  }
}

TEST(TrafficParser, PositionNearZeroZero) {
  auto context = defaultContext();
  context.userLatitude = 0.0;
  context.userLongitude = 0.0;
  EXPECT_EQ(lf_parse(Record().set(2, "0.0005").set(3, "0.01"), context),
            TrafficVerdict::kNearZeroZero);
  EXPECT_EQ(lf_parse(Record().set(2, "0").set(3, "0.05"), context), TrafficVerdict::kNearZeroZero);
  EXPECT_EQ(lf_parse(Record().set(2, "0.0005").set(3, "-0.01"), context), TrafficVerdict::kReady);
}

TEST(TrafficParser, RadiusBoundaryByGreatCircleDistance) {
  const LatLon user{intake_test::kUserLat, intake_test::kUserLon};
  const LatLon edge = gf_destination(user, 1.0, 40.0 * kFeetPerNm);
  auto record =
      Record().set(2, fmt::format("{:.17g}", edge.lat)).set(3, fmt::format("{:.17g}", edge.lon));
  auto context = defaultContext();
  context.radiusNm = gf_distanceNm(user, edge);  // exactly at the radius: passes
  EXPECT_EQ(lf_parse(record, context), TrafficVerdict::kReady);
  context.radiusNm = std::nextafter(context.radiusNm, 0.0);
  EXPECT_EQ(lf_parse(record, context), TrafficVerdict::kBeyondRadius);
}

// The values the rules give to a record that passes.
TEST(TrafficParser, ValuesOfAcceptedRecords) {
  EXPECT_EQ(lf_parsed(Record().set(1, "10001")).report.key, 10001u);
  EXPECT_EQ(lf_parsed(Record().set(1, "4294967295")).report.key, 4294967295u);
  // Heading 0 becomes 2 pi (and track 0 becomes 360); 360 stays; a negative one is absent.
  auto zero = lf_parsed(Record().set(25, "0").set(7, "0")).report.position;
  EXPECT_DOUBLE_EQ(zero.trueHeading, kTwoPi);
  EXPECT_DOUBLE_EQ(zero.track, 360.0);
  EXPECT_NEAR(lf_parsed(Record().set(25, "360")).report.position.trueHeading, kTwoPi, 1e-12);
  auto negative = lf_parsed(Record().set(25, "-5")).report.position;
  EXPECT_FALSE(negative.trueHeadingPresent);
  EXPECT_TRUE(std::isnan(negative.trueHeading));
  // Only the exact source "adsb_icao" has its heading field read at all.
  for (const char* source : {"X_adsb_icao", "adsb_icao ", "mlat"}) {
    auto other = lf_parsed(Record().set(17, source).set(25, "garbage").set(7, "")).report.position;
    EXPECT_FALSE(other.headingPresent) << source;
    EXPECT_DOUBLE_EQ(other.track, 0.0);
  }
  // No airspeed reported (-1): the altitude band's.
  EXPECT_DOUBLE_EQ(lf_parsed(Record().set(20, "-1").set(4, "15000")).report.position.trueAirspeed,
                   350.0);
  EXPECT_DOUBLE_EQ(lf_parsed(Record().set(20, "-1").set(4, "2000")).report.position.trueAirspeed,
                   180.0);
  EXPECT_DOUBLE_EQ(gf_airspeedForAltitude(5000.0), 220.0);
  EXPECT_DOUBLE_EQ(gf_airspeedForAltitude(10000.0), 250.0);
  EXPECT_DOUBLE_EQ(gf_airspeedForAltitude(20000.0), 350.0);
  EXPECT_DOUBLE_EQ(gf_airspeedForAltitude(20000.5), 430.0);
  // Roll only when airborne and reported (0 and -1 are no report).
  EXPECT_NEAR(lf_parsed(Record().set(23, "10")).report.position.roll, -0.1745329, 1e-6);
  EXPECT_FALSE(lf_parsed(Record().set(23, "0")).report.position.rollPresent);
  EXPECT_FALSE(lf_parsed(Record().set(23, "-1")).report.position.rollPresent);
  // Registrations up to 12 characters; "null" texts are empty; '@' callsigns are dropped.
  EXPECT_EQ(lf_parsed(Record().set(11, "ABCDEFGHIJKL")).report.registration, "ABCDEFGHIJKL");
  EXPECT_TRUE(lf_parsed(Record().set(11, "null")).report.registration.empty());
  EXPECT_TRUE(lf_parsed(Record().set(12, "null").set(13, "null")).report.origin.empty());
  auto at = lf_parsed(Record().set(9, "KL@123"));
  EXPECT_TRUE(at.report.callsign.empty());
  EXPECT_TRUE(at.callsignToCollect.empty());
  // Trailing text after a number is ignored.
  EXPECT_DOUBLE_EQ(lf_parsed(Record().set(4, "12000ft")).report.position.altitude, 12000.0);
}

TEST(TrafficParser, GroundRuleAndParkAirport) {
  auto park = defaultContext();
  park.parkIcao = "EDDL";
  park.parkLatitude = 51.1;
  park.parkLongitude = 6.1;
  park.parkElevationFt = 100.0;
  // No park airport: 300 ft at 150 kt flies; with one, 300 ft at 30 kt is on the ground.
  EXPECT_TRUE(lf_parsed(Record().set(4, "300").set(8, "150")).report.position.airborne);
  auto ground = lf_parsed(Record().set(4, "300").set(8, "30"), park).report.position;
  EXPECT_FALSE(ground.airborne);
  EXPECT_DOUBLE_EQ(ground.altitude, 0.0);
  EXPECT_FALSE(ground.rollPresent);
  EXPECT_FALSE(lf_parsed(Record().set(4, "180").set(8, "70"), park).report.position.airborne);
  EXPECT_TRUE(lf_parsed(Record().set(4, "180").set(8, "100"), park).report.position.airborne);
  EXPECT_FALSE(lf_parsed(Record().set(4, "50").set(8, "300"), park).report.position.airborne);
  EXPECT_FALSE(lf_parsed(Record().set(4, "-20").set(8, "300"), park).report.position.airborne);
  // Ground traffic farther than 5 nm from the park airport is dropped.
  park.parkLatitude = 51.1 + 5.01 / 60.0;
  EXPECT_EQ(lf_parse(Record().set(4, "0").set(8, "10"), park), TrafficVerdict::kGroundAwayFromPark);
  park.parkLatitude = 51.1 + 4.99 / 60.0;
  EXPECT_EQ(lf_parse(Record().set(4, "0").set(8, "10"), park), TrafficVerdict::kReady);
  // The rule's bands, with and without park elevation.
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(145.0, 120.0, 100.0), 0.0);
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(146.0, 120.0, 100.0), 146.0);
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(220.0, 43.0, 100.0), 0.0);
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(220.0, 44.0, 100.0), 220.0);
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(20000.0, 35.0, std::nullopt), 0.0);
  EXPECT_DOUBLE_EQ(gf_groundRuleAltitude(500.0, 36.0, std::nullopt), 500.0);
  // A helicopter (by its type: the emitter category decides nothing) is on the ground only at
  // 30 kt or less within 100 ft of where the park airport's ground reads at the day's QNH:
  // low and fast, or slow and high, it flies.
  park.parkLatitude = 51.1;
  g_dbaseRotorcraft = {"EC35"};
  struct Heli {
    const char* emitter;
    const char* type;
    const char* altitudeFt;  // the park airport lies at 100 ft, unless the row says otherwise
    const char* speedKt;
    std::int32_t qnhHpa;
    bool airborne;
    double parkFt = 100.0;
  };
  for (const Heli h :
       {Heli{"A7", "EC35", "175", "72", 1013, true}, Heli{"A7", "EC35", "1100", "25", 1013, true},
        Heli{"", "EC35", "1100", "25", 1013, true}, Heli{"", "EC35", "206", "30", 1013, false},
        Heli{"A7", "EC35", "207", "30", 1013, true}, Heli{"", "EC35", "1", "31", 1013, true},
        Heli{"", "EC35", "-20", "40", 1013, false}, Heli{"A7", "EC35", "375", "0", 1003, false},
        Heli{"A7", "EC35", "375", "0", 1013, true},
        Heli{"A7", "EC35", "550", "0", 1030, false, 1000.0},
        Heli{"A7", "EC35", "950", "0", 1030, true, 1000.0},
        Heli{"A7", "B738", "175", "72", 1013, false}, Heli{"A7", "B738", "1100", "25", 1013, false},
        Heli{"A3", "B738", "1100", "25", 1013, false}}) {
    park.qnhHpa = h.qnhHpa;
    park.parkElevationFt = h.parkFt;
    const Record record =
        Record().set(28, h.emitter).set(10, h.type).set(4, h.altitudeFt).set(8, h.speedKt);
    EXPECT_EQ(lf_parsed(record, park).report.position.airborne, h.airborne)
        << record.text() << " QNH " << h.qnhHpa;
  }
  g_dbaseRotorcraft.clear();
}

TEST(TrafficParser, CallsignCollectedBeforeTheFilters) {
  ParsedTraffic out;
  // Beyond the radius: no callsign (the position check comes first).
  EXPECT_EQ(Record().set(2, "60").parse(defaultContext(), out), TrafficVerdict::kBeyondRadius);
  EXPECT_TRUE(out.callsignToCollect.empty());
  // Dropped by the type filter after the collection point: collected.
  EXPECT_EQ(Record().set(10, "GLID").set(9, "DLH4").parse(defaultContext(), out),
            TrafficVerdict::kFilteredType);
  EXPECT_EQ(out.callsignToCollect, "DLH4");
  EXPECT_EQ(Record().set(9, "null").set(10, "GLID").parse(defaultContext(), out),
            TrafficVerdict::kFilteredType);
  EXPECT_TRUE(out.callsignToCollect.empty());
}

TEST(TrafficParser, ShortRecordsAreDroppedUnread) {
  ParsedTraffic out;
  std::vector<std::string_view> fields;
  const std::string rtpark =
      "RTPARK,406f75,51.468492,-0.475082,G-ZBKI,B789,G-ZBKI,EGLL_568,1725117281.99";
  gf_splitTrafficFields(rtpark, fields);
  EXPECT_EQ(gf_parseTrafficRecord(fields, defaultContext(), out), TrafficVerdict::kTooFewFields);
  EXPECT_FALSE(out.timeStamp);
  const std::string text = Record().text();
  gf_splitTrafficFields(text, fields);
  fields.resize(kTrafficFieldsRead - 1);
  EXPECT_EQ(gf_parseTrafficRecord(fields, defaultContext(), out), TrafficVerdict::kTooFewFields);
  fields.clear();
  EXPECT_EQ(gf_parseTrafficRecord(fields, defaultContext(), out), TrafficVerdict::kTooFewFields);
}

TEST(TrafficFields, Split) {
  std::vector<std::string_view> fields;
  gf_splitTrafficFields("a,,b", fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"a", "", "b"}));
  gf_splitTrafficFields("a,b,", fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{"a", "b"}));
  gf_splitTrafficFields("", fields);
  EXPECT_TRUE(fields.empty());
  gf_splitTrafficFields(",", fields);
  EXPECT_EQ(fields, (std::vector<std::string_view>{""}));
}

// Every real recorded record is either turned into a report or dropped by a named rule.
TEST(TrafficParser, RealRecordsEachGetAVerdict) {
  const std::filesystem::path folder =
      std::filesystem::path(ZENDRIK_REALWORLD_DIR) / "realtraffic" / "derived";
  if (!std::filesystem::is_directory(folder))
    GTEST_SKIP() << "real-world RealTraffic records not found in " << folder;
  std::map<std::string, int> verdicts;
  int lines = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path());
    std::string line;
    std::optional<double> trafficTime;  // the reader's, over one recording
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      if (line.empty()) continue;
      ++lines;
      std::vector<std::string_view> fields;
      gf_splitTrafficFields(line, fields);
      ParsedTraffic out;
      // The user wherever the aircraft is, with the widest radius: the remaining rules decide.
      auto context = defaultContext();
      if (fields.size() > 3) {
        double lat = 0, lon = 0;
        std::from_chars(fields[2].data(), fields[2].data() + fields[2].size(), lat);
        std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), lon);
        context.userLatitude = lat;
        context.userLongitude = lon;
      }
      context.radiusNm = 100.0;
      context.trafficTimeSec = trafficTime;
      const TrafficVerdict verdict = gf_parseTrafficRecord(fields, context, out);
      if (out.timeStamp) trafficTime = out.timeStamp;
      const std::string name(gf_trafficVerdictName(verdict));
      EXPECT_NE(name, "unknown") << line;
      EXPECT_FALSE(gf_isImplausibleVerdict(verdict)) << name << ": " << line;
      ++verdicts[name];
      if (line.rfind("RTPARK", 0) == 0) {
        EXPECT_EQ(verdict, TrafficVerdict::kTooFewFields) << line;
      }
      if (verdict == TrafficVerdict::kReady) {
        const auto& p = out.report.position;
        for (double v : {p.lat, p.lon, p.altitude, p.groundSpeed, p.track, p.verticalSpeed,
                         p.trueAirspeed, out.report.timeStamp})
          EXPECT_TRUE(std::isfinite(v)) << line;
        EXPECT_GT(out.report.key, 10000u);
        // Real records name their source "<provider>_adsb_icao", never the bare text.
        EXPECT_FALSE(p.headingPresent) << line;
      }
    }
  }
  EXPECT_GT(lines, 100);
  // Airborne records without a roll value are dropped (an empty roll is no number).
  EXPECT_GT(verdicts["ready"], 10);
  EXPECT_EQ(verdicts["too few fields"], 95);  // the RTPARK lines
  for (const auto& [name, count] : verdicts) std::printf("  %-45s %d\n", name.c_str(), count);
}

// A million mutated records: no crash, and every number a report carries is finite (roll and
// heading stay NaN when absent, by design).
TEST(TrafficParser, FuzzedRecordsNeverYieldNonFiniteValues) {
  std::mt19937 random(20260606);
  const std::string base = Record().text();
  const std::vector<std::string> inserts{",", ",,", "1e308", "-1e308", "nan", "inf", "null",
                                         "\x80\xff", std::string(1, '\0'), "999999999999",
                                         "-0", "0x1p3", " VEH", "@", "360", "-1"};
  std::vector<std::string_view> fields;
  ParsedTraffic out;
  auto context = defaultContext();
  context.parkIcao = "EDDL";
  context.parkLatitude = 51.1;
  context.parkLongitude = 6.1;
  context.parkElevationFt = 120.0;
  int ready = 0;
  std::string record;
  for (int i = 0; i < 1'000'000; ++i) {
    record = base;
    const int mutations = 1 + static_cast<int>(random() % 4);
    for (int m = 0; m < mutations; ++m) {
      const std::size_t at = random() % (record.size() + 1);
      switch (random() % 5) {
        case 0: record.resize(at); break;
        case 1: record.insert(at, inserts[random() % inserts.size()]); break;
        case 2: if (at < record.size()) record[at] = static_cast<char>(random() % 256); break;
        case 3: record.erase(at, random() % 8); break;
        default: record.insert(at, std::string(random() % 3 + 1, ','));
      }
    }
    gf_splitTrafficFields(record, fields);
    if (gf_parseTrafficRecord(fields, context, out) != TrafficVerdict::kReady) continue;
    ++ready;
    const auto& p = out.report.position;
    for (double v : {p.lat, p.lon, p.altitude, p.groundSpeed, p.track, p.verticalSpeed,
                     p.trueAirspeed, out.report.timeStamp})
      ASSERT_TRUE(std::isfinite(v)) << record;
    ASSERT_EQ(p.rollPresent, std::isfinite(p.roll)) << record;
    ASSERT_EQ(p.trueHeadingPresent, std::isfinite(p.trueHeading)) << record;
    ASSERT_GT(out.report.key, 10000u);
  }
  EXPECT_GT(ready, 1000);  // the mutations leave plenty of records whole
}
