// The BGL reader on real add-on scenery (LEAB, both airport formats), checked against the
// airport editor's XML source of the same airport; every prefix of those files and a fuzzed set
// of built files are read without a crash.
#include <cmath>
#include <fstream>
#include <map>
#include <random>

#include <gtest/gtest.h>
#include <pugixml.hpp>

#include "airports/airports_test_helpers.h"
#include "fixtures/bgl_builder.h"

using airports_test::readAirports;
using airports_test::realworldDir;
using airports_test::takeScanLog;

namespace {

struct ExpectedStand {
  std::string idBase;  // "r" + number for PARKING
  double lat = 0.0, lon = 0.0, headingDeg = 0.0, radiusM = 0.0;
  bool cargo = false, ramp = false;
};

double metresValue(const char* text) { return std::strtod(text, nullptr); }  // "15.0M"

// The stands the editor source describes: TaxiwayParking entries except vehicle and fuel
// spots, and the one helipad.
std::vector<ExpectedStand> expectedStands(const std::filesystem::path& xml, ExpectedStand& helipad) {
  pugi::xml_document doc;
  EXPECT_TRUE(doc.load_file(xml.c_str()));
  std::vector<ExpectedStand> stands;
  for (const auto& node : doc.select_nodes("//TaxiwayParking")) {
    const pugi::xml_node p = node.node();
    const std::string type = p.attribute("type").value();
    if (type == "VEHICLE" || type == "FUEL") {
      continue;
    }
    EXPECT_STREQ(p.attribute("name").value(), "PARKING");
    ExpectedStand s;
    s.idBase = std::string("r") + p.attribute("number").value();
    s.lat = p.attribute("lat").as_double();
    s.lon = p.attribute("lon").as_double();
    s.headingDeg = p.attribute("heading").as_double();
    s.radiusM = metresValue(p.attribute("radius").value());
    s.cargo = type == "RAMP_CARGO";
    s.ramp = type.starts_with("RAMP_");
    stands.push_back(s);
  }
  const pugi::xml_node h = doc.select_node("//Helipad").node();
  helipad.idBase = "helipad1";
  helipad.lat = h.attribute("lat").as_double();
  helipad.lon = h.attribute("lon").as_double();
  helipad.headingDeg = h.attribute("heading").as_double();
  helipad.radiusM = metresValue(h.attribute("width").value()) * 0.5;
  return stands;
}

std::vector<std::uint8_t> fileBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path leabDir() {
  const auto dir = realworldDir();
  return dir.empty() ? dir : dir / "bgl" / "LEAB_ARV187";
}

void expectStandLike(const ParkPos& s, const ExpectedStand& e) {
  SCOPED_TRACE(s.id);
  EXPECT_NEAR(s.lat, e.lat, 1e-6);
  EXPECT_NEAR(s.lon, e.lon, 1e-6);
  EXPECT_NEAR(s.radius * kMetresPerNm, e.radiusM, 1e-3);
  const double heading = e.headingDeg == 0.0 ? kTwoPi : e.headingDeg * kDegToRad;
  EXPECT_NEAR(s.heading, heading, 1e-6);
  EXPECT_EQ(s.cargo, e.cargo);
  EXPECT_EQ(s.ramp, e.ramp);
}

// Skips when the real-world sample folder is absent.
class BglRealworldTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (dir.empty()) {
      GTEST_SKIP() << "real-world sample folder not found: " << ZENDRIK_REALWORLD_DIR;
    }
  }
  const std::filesystem::path dir = leabDir();
};

}  // namespace

TEST_F(BglRealworldTest, LeabBothFormatsMatchTheEditorSource) {
  ExpectedStand helipad;
  const auto expected =
      expectedStands(dir.parent_path() / "_xml_sources" / "LEAB_ADEP5_ARV187.xml", helipad);
  ASSERT_EQ(expected.size(), 68u);

  struct Case {
    const char* file;
    const char* name;
    int altitudeFt;
  };
  for (const Case& c : {Case{"LEAB_ADEP4_ARV187.bgl", "Albacete", 2300},
                        Case{"LEAB_ADEP5_ARV187.bgl", "Los Llanos", 2301}}) {
    SCOPED_TRACE(c.file);
    const auto path = dir / c.file;
    EXPECT_TRUE(lf_hasAirportSection(path));
    BglWords words;
    ASSERT_TRUE(gf_readBglWords(path, words));
    takeScanLog();
    const auto airports = readAirports(words, path.string());
    ASSERT_EQ(airports.size(), 1u);
    const AirportFile& file = airports[0].file;
    EXPECT_EQ(file.ICAO, "LEAB");
    EXPECT_EQ(file.airport_name, c.name);
    EXPECT_EQ(file.altitude, c.altitudeFt);
    EXPECT_EQ(airports[0].helipads, 1);
    ASSERT_EQ(file.stands.size(), 69u);

    std::map<std::string, int> ids;
    std::vector<bool> used(expected.size(), false);
    for (const ParkPos& s : file.stands) {
      EXPECT_FALSE(s.duplicate);
      EXPECT_EQ(++ids[s.id], 1) << "repeated id " << s.id;
      if (s.heli) {
        EXPECT_EQ(s.id, "helipad1");
        expectStandLike(s, helipad);
        EXPECT_NEAR(s.heading * kRadToDeg, 255.82, 0.005);
        continue;
      }
      // The stand of the source at the same place; its id is "r<number>", possibly suffixed.
      std::size_t k = 0;
      while (k < expected.size() &&
             (used[k] || std::abs(expected[k].lat - s.lat) > 1e-6 ||
              std::abs(expected[k].lon - s.lon) > 1e-6)) {
        ++k;
      }
      ASSERT_LT(k, expected.size()) << "no source stand at the place of " << s.id;
      used[k] = true;
      EXPECT_TRUE(s.id == expected[k].idBase ||
                  (s.id.size() == expected[k].idBase.size() + 1 && s.id.starts_with(expected[k].idBase)))
          << s.id << " vs " << expected[k].idBase;
      expectStandLike(s, expected[k]);
    }
    EXPECT_TRUE(takeScanLog().empty());
  }
}

TEST_F(BglRealworldTest, FilesWithoutStands) {
  takeScanLog();
  BglWords words;
  ASSERT_TRUE(gf_readBglWords(dir / "LEAB_ADEP5_ARV187_ALT.bgl", words));
  const auto alt = readAirports(words);
  ASSERT_EQ(alt.size(), 1u);
  EXPECT_EQ(alt[0].file.ICAO, "LEAB");
  EXPECT_TRUE(alt[0].file.stands.empty());

  std::vector<std::filesystem::path> none = {dir / "LEAB_ADEP4_ARV187_CVX.bgl"};
  for (const auto& entry : std::filesystem::directory_iterator(dir.parent_path() / "negative_cases")) {
    none.push_back(entry.path());
  }
  for (const auto& path : none) {
    SCOPED_TRACE(path.string());
    ASSERT_TRUE(gf_readBglWords(path, words));
    EXPECT_NO_THROW(EXPECT_TRUE(readAirports(words).empty()));
  }
  EXPECT_TRUE(takeScanLog().empty());
}

// Cutting a real file at every 4-byte step: each prefix either reads or fails with the reader's
// own error, never anything worse (the sanitizer builds watch the reads).
TEST_F(BglRealworldTest, EveryPrefixOfTheRealFiles) {
  for (const char* name : {"LEAB_ADEP4_ARV187.bgl", "LEAB_ADEP5_ARV187.bgl"}) {
    const auto bytes = fileBytes(dir / name);
    std::size_t failures = 0;
    for (std::size_t length = 0; length <= bytes.size(); length += 4) {
      const std::vector<std::uint8_t> prefix(bytes.begin(), bytes.begin() + length);
      try {
        readAirports(prefix);
      } catch (const BglRangeError&) {
        ++failures;
      }
    }
    EXPECT_GT(failures, 0u) << name;
    takeScanLog();
  }
}

TEST(BglFuzzTest, MutatedBuiltFilesNeverCrash) {
  using namespace fixtures;
  std::mt19937 random(20261206);
  const BglBytes base = bglFileBytes(bglSimpleAirportFile("EDDF", false, 12, 50.0, 8.5));
  const BglBytes baseNew = bglFileBytes(bglSimpleAirportFile("KJFK", true, 12, 40.6, -73.8));
  int read = 0;
  for (int round = 0; round < 3000; ++round) {
    BglBytes bytes = (round % 2 == 0) ? base : baseNew;
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int f = 0; f < flips; ++f) {
      const std::size_t at = random() % bytes.size();
      switch (random() % 3) {
        case 0: bytes[at] = static_cast<std::uint8_t>(random()); break;
        case 1: bytes[at] ^= static_cast<std::uint8_t>(1u << (random() % 8)); break;
        default: bytes[at] = 0xFF; break;
      }
    }
    if (random() % 4 == 0) {
      bytes.resize(random() % bytes.size());
    }
    try {
      for (const auto& airport : readAirports(bytes)) {
        for (const ParkPos& s : airport.file.stands) {
          ASSERT_TRUE(std::isfinite(s.radius) && std::isfinite(s.heading)) << s.id;
          ASSERT_FALSE(s.duplicate);
        }
      }
      ++read;
    } catch (const BglRangeError&) {
    }
  }
  EXPECT_GT(read, 0);
  takeScanLog();
}
