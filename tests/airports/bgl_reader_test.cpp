// The BGL airport reader on built files: decoders, both airport formats, names, helipads,
// parking filters, duplicate renaming and malformed files.
#include <cmath>
#include <limits>
#include <numbers>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airports/airports_test_helpers.h"
#include "fixtures/bgl_builder.h"

using namespace fixtures;
using airports_test::readAirports;
using airports_test::takeScanLog;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

constexpr double kLat = 50.033333;
constexpr double kLon = 8.570556;

BglBytes oneAirportFile(const BglAirport& airport) {
  BglFile file;
  file.sections.push_back({3, 0, {bglAirportRecord(airport)}});
  return bglFileBytes(file);
}

BglParking stand(unsigned nameCode, unsigned number, float radius, unsigned type = 8) {
  BglParking p;
  p.nameCode = nameCode;
  p.number = number;
  p.radius = radius;
  p.type = type;
  p.lat = kLat;
  p.lon = kLon;
  return p;
}

std::vector<std::string> standIds(const AirportFile& file) {
  std::vector<std::string> ids;
  for (const ParkPos& s : file.stands) {
    ids.push_back(s.id);
  }
  return ids;
}

AirportFile readOne(const BglAirport& airport) {
  auto airports = readAirports(oneAirportFile(airport));
  EXPECT_EQ(airports.size(), 1u);
  return airports.empty() ? AirportFile{} : airports.front().file;
}

class BglReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { takeScanLog(); }
};

}  // namespace

TEST(BglIdentifierTest, DecodesKnownVectors) {
  struct Case {
    std::uint32_t value;
    const char* text;
    bool valid;
  };
  const Case cases[] = {
      {0x014AF2E0, "ABCD", true},
      {28806368, "EDDF", true},
      {39621632, "KJFK", true},
      {66724320, "ZZZZ", true},
      {3606720, "0000", true},
      {28806368 | 0x1F, "EDDF", true},  // the low five bits are not part of the code
      {570400, "AB1", false},
      {(((12u * 38 + 0) * 38 + 13) * 38 + 14) << 5, "A BC", false},
      {((1u * 38 + 12) * 38 * 38 + 12) << 5, "6A A", false},
      {0, " ", false},
  };
  for (const Case& c : cases) {
    bool valid = !c.valid;
    const std::string text = lf_decodeIdentifierOrRegionCode(c.value, valid);
    if (c.text[0] != '\0') {
      EXPECT_EQ(text, c.text) << c.value;
    }
    EXPECT_EQ(valid, c.valid) << c.value;
  }
  EXPECT_EQ(bglPackIdent("ABCD"), 0x014AF2E0u);
}

// Altitudes outside -10 .. 10000 ft are taken as 0.
TEST(BglIdentifierTest, AltitudeFeet) {
  EXPECT_EQ(lf_altitudeFeet(-3048), -10);
  EXPECT_EQ(lf_altitudeFeet(3048001), 10000);
  EXPECT_EQ(lf_altitudeFeet(3048400), 0);  // 10001 ft
  EXPECT_EQ(lf_altitudeFeet(-7000), 0);    // -23 ft
  EXPECT_EQ(lf_altitudeFeet(110947), 364);
}

TEST_F(BglReaderTest, ReadsBothFormatsAlike) {
  for (bool newFormat : {false, true}) {
    SCOPED_TRACE(newFormat ? "new format" : "old format");
    BglAirport airport;
    airport.newFormat = newFormat;
    airport.ident = "EDDF";
    airport.altitudeMm = 110947;
    airport.subrecords.push_back(bglNameRecord("Frankfurt Main"));
    airport.subrecords.push_back(bglHelipadRecord({kLat + 0.001, kLon, 30.0f, 255.5f}));
    BglParking gate = stand(10, 12, 24.0f, 8);
    gate.airlineCodes = {0x41424300, 0x44454600};  // two codes: the next entry starts later
    BglParking cargo = stand(12, 5, 30.0f, 5);
    cargo.lat = kLat + 0.0005;
    cargo.heading = 0.0f;
    BglParking ramp = stand(0, 7, 15.0f, 1);
    ramp.lat = kLat - 0.0005;
    ramp.heading = 90.0f;
    airport.subrecords.push_back(bglParkingList(newFormat, {gate, cargo, ramp}));

    const auto airports = readAirports(oneAirportFile(airport));
    ASSERT_EQ(airports.size(), 1u);
    const AirportFile& file = airports[0].file;
    EXPECT_EQ(file.ICAO, "EDDF");
    EXPECT_EQ(file.airport_name, "Frankfurt Main");
    EXPECT_EQ(file.altitude, 364);
    EXPECT_EQ(airports[0].helipads, 1);
    ASSERT_THAT(standIds(file), ElementsAre("helipad1", "g12", "A5", "7"));

    const ParkPos& heli = file.stands[0];
    EXPECT_TRUE(heli.heli);
    EXPECT_FALSE(heli.cargo);
    EXPECT_FALSE(heli.ramp);
    EXPECT_NEAR(heli.heading, 255.5 * kDegToRad, 1e-9);
    EXPECT_NEAR(heli.radius * kMetresPerNm, 15.0, 1e-9);
    EXPECT_NEAR(heli.lat, kLat + 0.001, 1e-6);

    const ParkPos& g12 = file.stands[1];
    EXPECT_NEAR(g12.lat, kLat, 1e-6);
    EXPECT_NEAR(g12.lon, kLon, 1e-6);
    EXPECT_NEAR(g12.heading, std::numbers::pi / 2, 1e-9);
    EXPECT_NEAR(g12.radius, 24.0 / 1852.0, 1e-12);
    EXPECT_FALSE(g12.cargo);
    EXPECT_FALSE(g12.ramp);
    EXPECT_FALSE(g12.heli);
    EXPECT_TRUE(g12.options.empty());
    EXPECT_EQ(g12.number, 0u);

    EXPECT_TRUE(file.stands[2].cargo);
    EXPECT_TRUE(file.stands[2].ramp);
    EXPECT_EQ(file.stands[2].heading, kTwoPi);
    EXPECT_FALSE(file.stands[3].cargo);
    EXPECT_TRUE(file.stands[3].ramp);
    for (const ParkPos& s : file.stands) {
      EXPECT_FALSE(s.duplicate);
    }
    EXPECT_TRUE(takeScanLog().empty());
  }
}

TEST_F(BglReaderTest, NameRecords) {
  const std::string forty(40, 'N');
  BglAirport airport;
  airport.subrecords = {bglNameRecord(forty, 2)};
  ASSERT_EQ(bglNameRecord(forty, 2).body.size() + 6, 48u);
  EXPECT_EQ(readOne(airport).airport_name, forty);

  const std::string fifty = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwx";
  airport.subrecords = {bglNameRecord(fifty)};
  EXPECT_EQ(readOne(airport).airport_name, fifty.substr(0, 45));

  std::string inner("Ab");
  inner.push_back('\0');
  inner += "cd";
  airport.subrecords = {bglNameRecord(inner, 3)};
  EXPECT_EQ(readOne(airport).airport_name, inner);  // inner zero kept, trailing ones dropped

  airport.subrecords = {bglNameRecord("One"), bglNameRecord("Two")};
  EXPECT_EQ(readOne(airport).airport_name, "");
  airport.subrecords = {bglNameRecord("One"), bglNameRecord("Two"), bglNameRecord("Three")};
  EXPECT_EQ(readOne(airport).airport_name, "Three");
  airport.subrecords = {bglNameRecord("One"), bglNameRecord("One")};
  EXPECT_EQ(readOne(airport).airport_name, "One");
}

TEST_F(BglReaderTest, Helipads) {
  BglAirport first;
  first.ident = "EDDF";
  first.subrecords = {bglNameRecord("Alpha"), bglHelipadRecord({kLat, kLon, 20.0f, 0.0f}),
                      bglHelipadRecord({kLat, kLon, 40.0f, 10.0f}),
                      bglHelipadRecord({0.0005, 0.01, 20.0f, 10.0f}),
                      bglHelipadRecord({kLat, kLon + 0.001, 20.0f, 10.0f, 32})};
  BglAirport second;
  second.ident = "EDDM";
  second.subrecords = {bglHelipadRecord({kLat, kLon, 20.0f, 10.0f})};
  BglFile file;
  file.sections.push_back({3, 0, {bglAirportRecord(first), bglAirportRecord(second)}});

  const auto airports = readAirports(bglFileBytes(file));
  ASSERT_EQ(airports.size(), 2u);
  EXPECT_THAT(standIds(airports[0].file), ElementsAre("helipad1", "helipad2"));
  EXPECT_EQ(airports[0].helipads, 2);
  EXPECT_EQ(airports[0].file.stands[0].heading, kTwoPi);
  EXPECT_EQ(airports[0].file.stands[1].heading, kTwoPi);  // 32-byte record: no heading field
  EXPECT_THAT(standIds(airports[1].file), ElementsAre("helipad1"));
  EXPECT_THAT(takeScanLog(),
              ElementsAre("double helipad Alpha (skipped) 50.033333,8.570556",
                          "lat/lon helipad incorrect (skipped): 0.000500,0.010000"));
}

TEST_F(BglReaderTest, ParkingFilters) {
  BglAirport airport;
  std::vector<BglParking> entries = {stand(10, 1, 1.0f), stand(10, 2, 200.0f),
                                     stand(10, 3, 1.5f), stand(10, 4, 199.9f),
                                     stand(10, 5, 20.0f, 0), stand(10, 6, 20.0f, 12),
                                     stand(10, 7, 20.0f, 11), stand(10, 8, 20.0f, 7)};
  BglParking nearNull = stand(10, 9, 20.0f);
  nearNull.lat = 0.0005;
  nearNull.lon = 0.01;
  BglParking south = nearNull;
  south.number = 10;
  south.lat = -0.0005;
  entries.push_back(nearNull);
  entries.push_back(south);
  airport.subrecords = {bglParkingList(false, entries)};
  const AirportFile file = readOne(airport);
  EXPECT_THAT(standIds(file), ElementsAre("g3", "g4", "g7", "g8", "g10"));
  EXPECT_FALSE(file.stands[2].ramp);  // type 11
  EXPECT_TRUE(file.stands[3].ramp);   // type 7
  EXPECT_THAT(takeScanLog(),
              ElementsAre("skipped position with radius 1.0 meters, in test.bgl",
                          "skipped position with radius 200.0 meters, in test.bgl",
                          "lat/lon: 0.000500,0.010000, incorrect (skipped) "));
}

TEST_F(BglReaderTest, NonFiniteValuesAreSkippedWithTheRadiusLine) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  BglAirport airport;
  BglParking badHeading = stand(10, 2, 20.0f);
  badHeading.heading = nan;
  airport.subrecords = {bglHelipadRecord({kLat, kLon, nan, 0.0f}),
                        bglHelipadRecord({kLat, kLon, 20.0f, inf}),
                        bglParkingList(false, {stand(10, 1, nan), badHeading, stand(10, 3, inf),
                                               stand(10, 4, 20.0f)})};
  const AirportFile file = readOne(airport);
  EXPECT_THAT(standIds(file), ElementsAre("g4"));
  const auto log = takeScanLog();
  ASSERT_EQ(log.size(), 5u);
  for (const std::string& line : log) {
    EXPECT_THAT(line, HasSubstr("skipped position with radius "));
  }
}

TEST_F(BglReaderTest, DuplicateIdsAreOrderedBySizeUpToSeven) {
  BglAirport airport;
  airport.subrecords = {bglParkingList(false, {stand(10, 12, 10.0f), stand(10, 12, 30.0f),
                                               stand(10, 12, 20.0f), stand(1, 3, 20.0f)})};
  const AirportFile file = readOne(airport);
  EXPECT_THAT(standIds(file), ElementsAre("g12b", "g12", "g12a", "r3"));
  EXPECT_NEAR(file.stands[1].radius * kMetresPerNm, 30.0, 1e-9);
  for (const ParkPos& s : file.stands) {
    EXPECT_FALSE(s.duplicate);
  }

  // Equal radii keep their list order.
  airport.subrecords = {bglParkingList(false, {stand(2, 1, 20.0f), stand(2, 1, 20.0f)})};
  EXPECT_THAT(standIds(readOne(airport)), ElementsAre("p1", "p1a"));

  // Seven of one name at most: the eighth is dropped with a warning.
  std::vector<BglParking> entries;
  for (int k = 0; k < 8; ++k) {
    entries.push_back(stand(10, 12, 10.0f + static_cast<float>(k)));
  }
  airport.newFormat = true;
  airport.subrecords = {bglParkingList(true, entries)};
  EXPECT_THAT(standIds(readOne(airport)), ElementsAre("g12f", "g12e", "g12d", "g12c", "g12b", "g12a", "g12"));
  EXPECT_THAT(takeScanLog(), ElementsAre("===> Warning more then 6 the same ids g12, in test.bgl"));
}

TEST_F(BglReaderTest, OnlyTheFirstParkingListOfItsFormatIsRead) {
  BglAirport airport;
  airport.subrecords = {bglParkingList(false, {stand(10, 1, 20.0f)}),
                        bglHelipadRecord({kLat, kLon, 20.0f, 0.0f}),
                        bglParkingList(false, {stand(10, 2, 20.0f)}), bglNameRecord("Late")};
  const AirportFile file = readOne(airport);
  EXPECT_THAT(standIds(file), ElementsAre("g1"));
  EXPECT_EQ(file.airport_name, "");
  for (bool newFormat : {false, true}) {
    airport.newFormat = newFormat;
    airport.subrecords = {bglParkingList(!newFormat, {stand(10, 1, 20.0f)}),
                          bglParkingList(newFormat, {stand(10, 2, 20.0f)})};
    EXPECT_THAT(standIds(readOne(airport)), ElementsAre("g2")) << newFormat;
  }
}

TEST_F(BglReaderTest, SectionsAndOtherRecords) {
  BglAirport a;
  a.ident = "EDDF";
  BglAirport b;
  b.ident = "EDDM";
  b.newFormat = true;
  BglAirport bad;
  bad.rawIdent = bglPackIdent("AB1");  // three characters: passed over without a word
  BglFile file;
  file.sections.push_back({0x22, 0, {bglOtherRecord(0x22, 64)}});  // not an airport section
  file.sections.push_back({3, 0, {bglOtherRecord(0x99, 24), bglAirportRecord(a),
                                   bglAirportRecord(bad)}});
  file.sections.push_back({3, 0, {bglAirportRecord(b)}});
  const auto airports = readAirports(bglFileBytes(file));
  // The first airport section's walk runs on over the second section's records; the second
  // section's own walk would only repeat it, so EDDM is read once.
  ASSERT_EQ(airports.size(), 2u);
  EXPECT_EQ(airports[0].file.ICAO, "EDDF");
  EXPECT_EQ(airports[1].file.ICAO, "EDDM");
  EXPECT_TRUE(takeScanLog().empty());

  // Thousands of airport sections whose walks all run on to the file's one airport: read once.
  BglAirport last;
  last.ident = "EDDS";
  const auto crafted = readAirports(bglFileBytes(bglCraftedSectionTable(100000, last)));
  ASSERT_EQ(crafted.size(), 1u);
  EXPECT_EQ(crafted[0].file.ICAO, "EDDS");
}

TEST_F(BglReaderTest, MalformedFiles) {
  airports_test::TempDir dir;
  const auto path = dir.path() / "AP.bgl";
  BglAirport airport;
  airport.subrecords = {bglParkingList(false, {stand(10, 1, 20.0f)})};

  {  // skip flag: the header test says yes, the walk finds nothing
    BglFile file;
    file.sections.push_back({3, 0x10000, {bglAirportRecord(airport)}});
    bglWriteFile(path, bglFileBytes(file));
    EXPECT_TRUE(lf_hasAirportSection(path));
    EXPECT_TRUE(readAirports(bglFileBytes(file)).empty());
  }
  {  // header size other than 56
    BglFile file;
    file.headerSize = 64;
    file.sections.push_back({3, 0, {bglAirportRecord(airport)}});
    EXPECT_TRUE(readAirports(bglFileBytes(file)).empty());
  }
  {  // a section count far beyond the file
    BglFile file;
    file.sectionCount = 0xFFFFFFFFu;
    file.sections.push_back({3, 0, {bglAirportRecord(airport)}});
    bglWriteFile(path, bglFileBytes(file));
    EXPECT_FALSE(lf_hasAirportSection(path));
    EXPECT_THROW(readAirports(bglFileBytes(file)), BglRangeError);
  }
  {  // files too short for the header test, or without an airport section
    bglWriteFile(path, BglBytes(14, 0));
    EXPECT_FALSE(lf_hasAirportSection(path));
    EXPECT_FALSE(lf_hasAirportSection(dir.path() / "missing.bgl"));
    BglFile file;
    file.sections.push_back({0x22, 0, {bglOtherRecord(0x22, 64)}});
    bglWriteFile(path, bglFileBytes(file));
    EXPECT_FALSE(lf_hasAirportSection(path));
    EXPECT_THROW(readAirports(BglBytes(4, 0)), BglRangeError);
    EXPECT_TRUE(readAirports(BglBytes(40, 0)).empty());
  }
  {  // a record cut off by the end of the file
    BglFile file;
    file.sections.push_back({3, 0, {bglAirportRecord(airport)}});
    BglBytes bytes = bglFileBytes(file);
    bytes.resize(bytes.size() - 8);
    EXPECT_THROW(readAirports(bytes), BglRangeError);
  }
  {  // a subrecord of size 0 ends the airport's walk; what was found stays
    BglAirport zero;
    BglRecord empty = bglOtherRecord(0x55, 8);
    empty.sizeOverride = 0;
    zero.subrecords = {bglNameRecord("Kept"), empty, bglParkingList(false, {stand(10, 1, 20.0f)})};
    const AirportFile file = readOne(zero);
    EXPECT_EQ(file.airport_name, "Kept");
    EXPECT_TRUE(file.stands.empty());
  }
  {  // an airport of negative size: read with no subrecords, and the walk ends
    BglAirport negative = airport;
    negative.sizeOverride = 0xFFFFFFF0u;
    BglFile file;
    file.sections.push_back({3, 0, {bglAirportRecord(negative), bglAirportRecord(airport)}});
    const auto airports = readAirports(bglFileBytes(file));
    ASSERT_EQ(airports.size(), 1u);
    EXPECT_TRUE(airports[0].file.stands.empty());
  }
  {  // an entry count beyond the record reads past the end of the file
    BglAirport many = airport;
    BglRecord list = bglParkingList(false, {stand(10, 1, 20.0f)});
    list.body[0] = 0xFF;
    many.subrecords = {list};
    EXPECT_THROW(readAirports(oneAirportFile(many)), BglRangeError);
  }
}
