// Stand files: the writer's exact output, round trips through the reader, the reader's fatal
// codes and leniency, and the merge of learned and handmade files.
#include <cmath>
#include <fstream>
#include <limits>
#include <numbers>
#include <tuple>

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "airports/airports.h"
#include "airports/airports_test_helpers.h"
#include "airports/stand_file_internal.h"
#include "fixtures/stand_file_builder.h"
#include "foundation/day_slots.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/meta_block.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/version.h"
#include "liveries/aircraft_database.h"

using airports_test::readText;
using airports_test::WorkingFolder;
using fixtures::StandFileLayout;
using fixtures::StandRow;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

std::int64_t fixedClock() { return 1765000000; }  // a fixed date for the meta block

ParkPos makeStand(const std::string& id, double lat, double lon, double headingRad, double radiusM,
                  bool cargo, bool ramp, bool heli) {
  return ParkPos(std::string(id), {}, StandPlace{lat, lon, headingRad}, radiusM, !cargo, !ramp, !heli);
}

ParkPosOption makeOption(std::uint32_t id, const std::string& reg, std::uint32_t day, const std::string& hh,
                         std::uint32_t real = 1, const std::string& cs = "", const std::string& cs2 = "") {
  ParkPosOption o;
  o.id = id;
  o.reg = reg;
  o.airline = "DLH";
  o.type = "A320";
  o.day = day;
  o.hh = gf_hours2bitset(hh);
  o.real = real;
  o.cs = cs;
  o.cs2 = cs2;
  return o;
}

std::vector<std::string> ids(const std::vector<ParkPos>& stands) {
  std::vector<std::string> out;
  for (const ParkPos& s : stands) {
    out.push_back(s.id);
  }
  return out;
}

// Resets the park airport's state before a read, as the engine does.
class StandFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_clock = g_wallClock.exchange(&fixedClock);
    g_simulatorName = "P3D";
    g_parkStands.clear();
    g_parkApfHeader = {};
    g_parkAirportQf = {-1, -1};
    g_parkAirportIcao = "EDDF";
    g_parkStandFileHandmade = false;
    g_parkStandsReady = false;
    g_standFileParamsChanged = false;
    g_paramParkingPercentage.setValue(g_paramParkingPercentage.defaultValue);
    g_paramMaxFit.setValue(g_paramMaxFit.defaultValue);
    g_paramMaxLive.setValue(g_paramMaxLive.defaultValue);
  }
  void TearDown() override { g_wallClock.store(m_clock); }

  std::string read(const std::string& path) {
    std::string result;
    gf_readApf(result, path, g_parkApfHeader, g_parkAirportQf, g_parkStands);
    return result;
  }

  WorkingFolder m_folder;
  WallClockFn m_clock = nullptr;
};

AirportFile generatedFile() {
  AirportFile file;
  file.ICAO = "EDDF";
  file.airport_name = "Test Field";
  file.publisher = "unknown";
  file.altitude = 364;
  file.BGLpath = "/scen/x/scenery/AP.bgl";
  file.stands.push_back(makeStand("g12", 50.033333, 8.570556, std::numbers::pi / 2, 24.0, false, false, false));
  file.stands.push_back(makeStand("helipad1", 50.034, 8.571, kTwoPi, 10.0, false, false, true));
  file.stands.push_back(makeStand("A5", 50.0335, 8.5702, 1.0, 30.0, true, true, false));
  return file;
}

}  // namespace

// A generated file is never marked handmade, also when the park airport's file was.
TEST_F(StandFileTest, GeneratedFileIsWrittenExactlyAndNeverMarkedHandmade) {
  g_parkStandFileHandmade = true;
  ASSERT_TRUE(gf_writeApf(generatedFile(), "EDDF.xml", true));
  const std::string expected = fmt::format(
      "<?xml version=\"1.0\"?>\n"
      "<meta>\n"
      "\t<info name=\"author\" value=\"Zendrik_P3D\" />\n"
      "\t<info name=\"version\" value=\"{}\" />\n"
      "\t<info name=\"date\" value=\"{}\" />\n"
      "\t<info name=\"copyright\" value=\"{}\" />\n"
      "\t<info name=\"P3D\" value=\"v5/v6\" />\n"
      "</meta>\n"
      "<parameters>\n"
      "\t<parameter name=\"airport_name\" value=\"Test Field\" />\n"
      "\t<parameter name=\"publisher\" value=\"unknown\" />\n"
      "\t<parameter name=\"altitude\" value=\"364\" />\n"
      "\t<parameter name=\"num_parkpos\" value=\"3\" />\n"
      "\t<parameter name=\"BGLpath\" value=\"/scen/x/scenery/AP.bgl\" />\n"
      "</parameters>\n"
      "<parkpositions>\n"
      "\t<parkpos id=\"g12\" latitude=\"50.033333\" longitude=\"8.570556\" heading=\"90.0\" radius=\"24.0\" cargo=\"false\" ramp=\"false\" />\n"
      "\t<parkpos id=\"helipad1\" latitude=\"50.034000\" longitude=\"8.571000\" heading=\"360.0\" radius=\"10.0\" heli=\"true\" ramp=\"false\" />\n"
      "\t<parkpos id=\"A5\" latitude=\"50.033500\" longitude=\"8.570200\" heading=\"57.3\" radius=\"30.0\" cargo=\"true\" ramp=\"true\" />\n"
      "</parkpositions>\n",
      g_version.toString(), gf_dateNow(), g_metaCopyright.value());
  EXPECT_EQ(readText("EDDF.xml"), expected);
  // No temporary file stays behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator("."), {}), 2);  // EDDF.xml, Log.txt
  // The BGL path is recorded only for an unknown publisher.
  AirportFile known = generatedFile();
  known.publisher = "Aerosoft";
  ASSERT_TRUE(gf_writeApf(known, "EDDF.xml", true));
  EXPECT_THAT(readText("EDDF.xml"), ::testing::Not(HasSubstr("BGLpath")));
}

// Each number reads as printf's fixed notation writes it, also at the edges: a negative zero,
// halves on the rounding digit, a value too long for a short buffer, non-finite values.
TEST_F(StandFileTest, NumbersAreWrittenInFixedNotationAtTheEdges) {
  AirportFile file = generatedFile();
  file.stands.clear();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  file.stands.push_back(makeStand("E1", -0.0, 0.0000125, 0.0, 0.0, false, false, false));
  file.stands.push_back(makeStand("E2", 1e300, -179.9999995, nan, inf, false, false, false));
  ASSERT_TRUE(gf_writeApf(file, "EDGE.xml", true));
  const std::string text = readText("EDGE.xml");
  EXPECT_THAT(text, HasSubstr("id=\"E1\" latitude=\"-0.000000\" longitude=\"0.000013\" "
                              "heading=\"0.0\" radius=\"0.0\""));
  EXPECT_THAT(text, HasSubstr(fmt::format("id=\"E2\" latitude=\"{:.6f}\" longitude=\"{:.6f}\" "
                                          "heading=\"NAN\" radius=\"INF\"",
                                          1e300, -179.9999995)));
}

TEST_F(StandFileTest, LearnedFileForms) {
  g_dbaseRegs["D-AIKN"] = RegInfo{"DLH", "A321", "CLH", false};
  AirportFile file;
  file.airport_name = "Frankfurt";
  file.publisher = "stock";
  ParkPos plain = makeStand("A1", 50.0, 8.0, 1.0, 20.0, false, false, false);
  plain.options = {makeOption(1, "D-AIAB", 3, "3,17", 1, "DLH1", "DLH2"),
                   makeOption(0, "D-AIXX", 1, "1"), makeOption(2, "", 4, "5", 0),
                   makeOption(3, "D-AIKN", 2, "4")};
  ParkPos changed = makeStand("A2", 50.0, 8.0, 1.0, 20.0, true, false, false);
  changed.radius_change = true;
  changed.cargo_change = true;
  ParkPos manual = makeStand("M1", 50.1, 8.1, std::numbers::pi, 15.0, false, true, false);
  manual.manual = true;
  file.stands = {plain, changed, manual};
  ASSERT_TRUE(gf_writeApf(file, "learned.xml", false));
  const std::string text = readText("learned.xml");
  EXPECT_THAT(text, HasSubstr("<parkpos id=\"A1\">\n"
                              "\t\t<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"3\" hh=\"3,17\" cs=\"DLH1:DLH2\" />\n"
                              "\t\t<opt reg=\"\" airl=\"DLH\" type=\"A320\" soft=\"true\" day=\"4\" hh=\"5\" />\n"
                              // known to the database: no airline and type of its own
                              "\t\t<opt reg=\"D-AIKN\" day=\"2\" hh=\"4\" />\n"
                              "\t</parkpos>"));
  EXPECT_THAT(text, HasSubstr("<parkpos id=\"A2\" radius_change=\"true\" radius=\"20.0\" "
                              "cargo_change=\"true\" cargo=\"true\" />"));
  EXPECT_THAT(text, HasSubstr("<parkpos id=\"M1\" latitude=\"50.100000\" longitude=\"8.100000\" "
                              "heading=\"180.0\" radius=\"15.0\" cargo=\"false\" ramp=\"true\" manual=\"true\" />"));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("D-AIXX")));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("altitude")));
  EXPECT_THAT(text, ::testing::Not(HasSubstr("handmade")));
  for (const char* setting : {"LATERAL_RANGE", "AUTO_RANGE", "WEEK", "PARK_FAKE", "PARK_SOFT",
                              "parking_percentage", "INITIAL_LOAD_ONLY", "MAX_FIT", "MAX_LIVE", "LEARN_SOFT"}) {
    EXPECT_THAT(text, HasSubstr(fmt::format("name=\"{}\"", setting)));
  }
  g_dbaseRegs.clear();
}

TEST_F(StandFileTest, QualityFactor) {
  EXPECT_EQ(gf_qualityFactor(), QfPair(-1, -1));
  EXPECT_EQ(lf_qfText({-1, -1}), "  ");
  EXPECT_EQ(lf_qfText({44, 7}), "44/ 7");
  EXPECT_EQ(lf_qfText({45, 7}), "45");
  ParkPos stand = makeStand("A1", 50.0, 8.0, 1.0, 20.0, false, false, false);
  std::string all;
  for (int slot = 0; slot < 48; ++slot) {
    if (slot > 0) {
      all.push_back(',');
    }
    all.append(std::to_string(slot));
  }
  stand.options = {makeOption(1, "D-AIAB", 3, all)};
  g_parkStands = {stand};
  EXPECT_EQ(gf_qualityFactor(), QfPair(64, 0));
  g_parkStands.push_back(makeStand("A2", 50.0, 8.0, 1.0, 20.0, false, false, false));
  EXPECT_EQ(gf_qualityFactor(), QfPair(32, 0));  // an empty stand halves it
}

TEST_F(StandFileTest, GeneratedFileReadsBack) {
  AirportFile file = generatedFile();
  std::filesystem::create_directories("airports/my_thirdparty");
  ASSERT_TRUE(gf_writeApf(file, "airports/my_thirdparty/EDDF.xml", true));
  EXPECT_EQ(read("airports/my_thirdparty/EDDF.xml"), "");
  ASSERT_EQ(g_parkStands.size(), file.stands.size());
  for (std::size_t k = 0; k < file.stands.size(); ++k) {
    const ParkPos& a = file.stands[k];
    const ParkPos& b = g_parkStands[k];
    SCOPED_TRACE(a.id);
    EXPECT_EQ(b.id, a.id);
    EXPECT_NEAR(b.lat, a.lat, 1e-6);
    EXPECT_NEAR(b.lon, a.lon, 1e-6);
    EXPECT_NEAR(b.heading * kRadToDeg, a.heading * kRadToDeg, 0.05);
    EXPECT_NEAR(b.radius * kMetresPerNm, a.radius * kMetresPerNm, 0.05);
    EXPECT_EQ(b.cargo, a.cargo);
    EXPECT_EQ(b.ramp, a.ramp);
    EXPECT_EQ(b.heli, a.heli);
    EXPECT_EQ(b.number, k + 1);
  }
  // g12 (24 m) and A5 (30 m) stand 32 m apart; the helipad is 80 m from both.
  EXPECT_THAT(g_parkStands[0].overlaps, ElementsAre(3u));
  EXPECT_TRUE(g_parkStands[1].overlaps.empty());
  EXPECT_THAT(g_parkStands[2].overlaps, ElementsAre(1u));
  EXPECT_EQ(g_parkApfHeader.altitude, 364);
  EXPECT_EQ(g_parkAirportElev, 364.0);
  EXPECT_EQ(g_parkApfHeader.airport_name, "Test Field");
  EXPECT_EQ(g_parkAirportQf, QfPair(-1, -1));
  EXPECT_EQ(g_paramParkingPercentage.value(), 30);
  EXPECT_TRUE(g_parkStandsReady.load());
  EXPECT_EQ(g_mainWindowState.standCount.load(), 3u);
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::parkPublisherText), "unknown");
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::parkQualityText), "  ");
  EXPECT_TRUE(m_folder.logHas("Airport file read from \"airports/my_thirdparty/EDDF.xml\" for Test Field"));
  EXPECT_TRUE(m_folder.logHas("parking_percentage      : 30%"));
}

TEST_F(StandFileTest, FatalContentErrors) {
  const std::string path = "airports/my_ORBX/EDDF.xml";
  StandFileLayout layout;
  layout.parameters = {{"airport_name", "X"}, {"publisher", "simaddon"}};
  layout.stands = {{"A1", 50.0, 8.0}};
  fixtures::writeStandFile(path, layout);
  try {
    read(path);
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(), "65: Parameter altitude not found");
  }

  layout.parameters.push_back({"altitude", "100"});
  layout.stands = {{"A1", 50.0, 8.0}, {"A2", 50.001, 8.0}, {"A1", 50.002, 8.0}};
  fixtures::writeStandFile(path, layout);
  g_parkStands.clear();
  try {
    read(path);
    FAIL() << "no exception";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_STREQ(e.what(), "94: Parking position A1 appears more than once?");
  }
  EXPECT_THAT(ids(g_parkStands), ElementsAre("A1", "A2"));
}

TEST_F(StandFileTest, LenientReading) {
  const std::string path = "airports/my_ORBX/EDDF.xml";
  StandFileLayout layout;
  layout.parameters = {{"altitude", "12"}, {"Qf_real", "50"}};
  layout.stands = {{"null", 0.0, 0.0}, {"keep", 0.0, 1.0}};
  layout.stands[1].options = {"<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"2\" hh=\"1,2\" cs=\"AB:12:X\" />",
                            "<opt soft=\"true\" cs=\"AB:12\" hh=\"x,4\" />"};
  fixtures::writeStandFile(path, layout);
  EXPECT_EQ(read(path), "");
  ASSERT_THAT(ids(g_parkStands), ElementsAre("keep"));
  const auto& options = g_parkStands[0].options;
  ASSERT_EQ(options.size(), 2u);
  EXPECT_EQ(options[0].cs, "AB");
  EXPECT_EQ(options[0].cs2, "");
  EXPECT_EQ(options[0].airline, "DLH");
  EXPECT_EQ(options[0].id, 1u);
  EXPECT_EQ(options[0].origin, 1u);
  EXPECT_EQ(options[0].real, 1u);
  EXPECT_EQ(options[1].cs2, "12");
  EXPECT_EQ(options[1].real, 0u);
  EXPECT_EQ(options[1].day, 0u);
  EXPECT_EQ(options[1].hh.count(), 1u);  // the bad token is skipped
  EXPECT_EQ(options[1].id, 2u);
  EXPECT_EQ(g_parkAirportQf, QfPair(50, -1));
  EXPECT_EQ(g_parkApfHeader.publisher, "");

  layout.stands.clear();
  fixtures::writeStandFile(path, layout);
  g_parkStands.clear();
  g_parkStandsReady = false;
  EXPECT_EQ(read(path), "no stands found");
  EXPECT_TRUE(g_parkStandsReady.load());

  layout.meta = false;
  fixtures::writeStandFile(path, layout);
  EXPECT_EQ(read(path), path + " but refused to load, copyright problem");
  EXPECT_EQ(read(""), "gf_readApf xml is empty...");
  g_parkAirportIcao.clear();
  EXPECT_EQ(read(path), "gf_readApf no park airport set");
}

TEST_F(StandFileTest, LearnedFileIsMergedAndSavedBack) {
  const std::string path = "airports/my_thirdparty/EDDF.xml";
  StandFileLayout archive;
  archive.parameters = {{"airport_name", "Frankfurt"}, {"publisher", "Aerosoft"}, {"altitude", "364"}};
  archive.stands = {{"A1", 50.0, 8.0, 90.0, 20.0}, {"A2", 50.01, 8.0, 90.0, 20.0},
                    {"A3", 50.02, 8.0, 90.0, 20.0}};
  archive.stands[0].options = {"<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"1\" hh=\"10,11\" cs=\"DLH1\" />"};
  fixtures::writeStandFile(path, archive);

  StandFileLayout learned;
  learned.parameters = {{"airport_name", "Frankfurt"}, {"MAX_FIT", "60"}, {"parking_percentage", "150"},
                        {"WEEK", "true"}};
  fixtures::StandRow a1{"A1", 0, 0};
  a1.options = {"<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"1\" hh=\"11,12\" cs=\"OTHER\" />",
                "<opt reg=\"D-AIAB\" airl=\"DLH\" type=\"A320\" day=\"1\" hh=\"20\" />"};
  learned.stands = {a1,
                    {"A2", 0, 0, 0, 0, true, false, false, {"radius_change=true", "cargo_change=true"}},
                    {"M1", 50.03, 8.0, 45.0, 18.0, false, true, false, {"manual=true"}},
                    {"M2", 0.0005, 0.01, 45.0, 18.0, false, true, false, {"manual=true"}},
                    {"M3", -0.0005, 0.01, 45.0, 18.0, false, true, false, {"manual=true"}},
                    {"M4", 50.04, 8.0, 45.0, 0.0, false, true, false, {"manual=true"}},
                    {"A3", 50.0, 8.0, 0, 20, false, false, false, {"manual=true"}},
                    {"ZZ", 0, 0}};
  const std::filesystem::path learnedPath = "airports/learned/thirdparty/Aerosoft/EDDF.xml";
  fixtures::writeStandFile(learnedPath, learned);
  ASSERT_EQ(gf_learnedApfPath(path, "Aerosoft"), learnedPath);

  EXPECT_EQ(read(path), "");
  EXPECT_THAT(ids(g_parkStands), ElementsAre("A1", "A2", "A3", "M1", "M3"));
  const ParkPos& stand1 = g_parkStands[0];
  ASSERT_EQ(stand1.options.size(), 2u);  // the overlapping use is the same one, despite its callsign
  EXPECT_EQ(stand1.options[1].id, 2u);
  EXPECT_EQ(stand1.options[1].origin, 0u);
  EXPECT_EQ(g_parkStands[1].radius, 0.0);  // radius_change without radius
  EXPECT_TRUE(g_parkStands[1].cargo);
  EXPECT_TRUE(g_parkStands[1].radius_change && g_parkStands[1].cargo_change);
  EXPECT_TRUE(g_parkStands[3].manual);
  EXPECT_EQ(g_paramMaxFit.value(), 47);
  EXPECT_FLOAT_EQ(g_paramMaxFitFl.value(), 24.0f);
  EXPECT_EQ(g_paramParkingPercentage.value(), 150);
  EXPECT_EQ(g_paramMaxLive.value(), -1);
  EXPECT_TRUE(g_paramWeek.value());
  EXPECT_TRUE(g_standFileParamsChanged);
  EXPECT_TRUE(m_folder.logHas("learned stand ZZ in " + learnedPath.string() + " not found?"));
  EXPECT_TRUE(m_folder.logHas("manually created standid M2 misses correct attributes"));
  EXPECT_TRUE(m_folder.logHas("manually created standid M4 misses correct attributes"));
  EXPECT_TRUE(m_folder.logHas("manually created standid A3 already exists"));
  EXPECT_TRUE(m_folder.logHas("MAX_FIT                 : 47 (max number of half hours, is 24 hrs decimal)"));

  // The engine's save goes to the same learned file and reads back to the same stands.
  const auto stands = g_parkStands;
  const QfPair qf = gf_qualityFactor();
  AirportFile save{"EDDF", g_parkApfHeader.airport_name, "", g_parkApfHeader.publisher, 0, 0, 0,
                   g_parkApfHeader.altitude, g_parkStands};
  ASSERT_EQ(g_parkApfPath, path);
  ASSERT_TRUE(gf_writeApf(save, gf_learnedApfPath(g_parkApfPath, g_parkApfHeader.publisher), false));
  g_parkStands.clear();
  EXPECT_EQ(read(path), "");
  ASSERT_EQ(g_parkStands.size(), stands.size());
  for (std::size_t k = 0; k < stands.size(); ++k) {
    SCOPED_TRACE(stands[k].id);
    ASSERT_EQ(g_parkStands[k].options.size(), stands[k].options.size());
    for (std::size_t o = 0; o < stands[k].options.size(); ++o) {
      EXPECT_EQ(g_parkStands[k].options[o].id, o + 1);
      EXPECT_EQ(g_parkStands[k].options[o].hh, stands[k].options[o].hh);
      EXPECT_EQ(g_parkStands[k].options[o].cs, stands[k].options[o].cs);
    }
    EXPECT_EQ(g_parkStands[k].radius_change, stands[k].radius_change);
    EXPECT_EQ(g_parkStands[k].cargo, stands[k].cargo);
    EXPECT_EQ(g_parkStands[k].manual, stands[k].manual);
    EXPECT_NEAR(g_parkStands[k].radius, stands[k].radius, 0.05 / kMetresPerNm);
  }
  EXPECT_EQ(gf_qualityFactor(), qf);
}

TEST_F(StandFileTest, HandmadeAndBrokenLearnedFiles) {
  const std::string path = "airports\\my_ORBX\\EGLL.xml";
  StandFileLayout archive;
  archive.parameters = {{"publisher", "simaddon"}, {"altitude", "83"}, {"airport_name", "Heathrow"}};
  archive.stands = {{"A1", 51.47, -0.45}};
  fixtures::writeStandFile("airports/my_ORBX/EGLL.xml", archive);
  const std::filesystem::path learnedPath = "airports/learned/my_ORBX/EGLL.xml";

  StandFileLayout handmade;
  handmade.parameters = {{"airport_name", "Heathrow"}, {"handmade", "false"}};
  handmade.stands = {{"H1", 51.48, -0.46}, {"H2", 51.481, -0.46}};
  fixtures::writeStandFile(learnedPath, handmade);
  EXPECT_EQ(read(path), "");
  EXPECT_TRUE(g_parkStandFileHandmade);
  EXPECT_THAT(ids(g_parkStands), ElementsAre("H1", "H2"));
  EXPECT_TRUE(m_folder.logHas("A handmade airport file overruled the archived file!"));
  EXPECT_TRUE(m_folder.logHas("Airport file read from \"airports\\learned\\my_ORBX\\EGLL.xml\" for Heathrow"));

  // A stand the engine corrects stays whole in the handmade file, position included.
  g_parkStands[1].radius = 37.0 / kMetresPerNm;
  g_parkStands[1].radius_change = true;
  g_parkStands[1].cargo = true;
  g_parkStands[1].cargo_change = true;
  AirportFile save{"EGLL", "Heathrow", "", "simaddon", 0, 0, 0, 83, g_parkStands};
  ASSERT_TRUE(gf_writeApf(save, learnedPath, false));
  g_parkStands.clear();
  EXPECT_EQ(read(path), "");
  ASSERT_THAT(ids(g_parkStands), ElementsAre("H1", "H2"));
  EXPECT_NEAR(g_parkStands[1].lat, 51.481, 1e-6);
  EXPECT_NEAR(g_parkStands[1].radius * kMetresPerNm, 37.0, 0.05);
  EXPECT_TRUE(g_parkStands[1].cargo);

  {
    std::ofstream broken(learnedPath, std::ios::trunc);
    broken << "<parameters><parameter name=";
  }
  g_parkStands.clear();
  EXPECT_EQ(read(path), "");
  EXPECT_FALSE(g_parkStandFileHandmade);
  EXPECT_THAT(ids(g_parkStands), ElementsAre("A1"));
  // The copy is named as it lies on disk.
  std::filesystem::path copy = "airports/learned/my_ORBX/EGLL0.xml";
  EXPECT_TRUE(std::filesystem::exists(copy));
  EXPECT_TRUE(
      m_folder.logHas("could not be loaded, saved as " + copy.make_preferred().string() + ": "));
}

#ifndef _WIN32
// Files the user may not read: each message names the file and why, and the learned file stays
// as it was, also through the save that follows the read.
TEST_F(StandFileTest, UnreadableFilesAreNamedAndLeftAsTheyAre) {
  namespace fs = std::filesystem;
  const std::string path = "airports/my_thirdparty/EDDF.xml";
  const fs::path learnedPath = "airports/learned/thirdparty/Aerosoft/EDDF.xml";
  StandFileLayout archive;
  archive.parameters = {
      {"publisher", "Aerosoft"}, {"altitude", "364"}, {"airport_name", "Frankfurt"}};
  archive.stands = {{"A1", 50.03, 8.57}};
  fixtures::writeStandFile(path, archive);
  StandFileLayout learned;
  learned.parameters = {{"airport_name", "Frankfurt"}};
  learned.stands = {{"A1", 0, 0}};
  fixtures::writeStandFile(learnedPath, learned);
  const std::string learnedBytes = readText(learnedPath);
  const auto readable = fs::perms::owner_read | fs::perms::owner_write | fs::perms::others_read;

  fs::permissions(path, fs::perms::none);
  const int standFile = airports_test::runAsUser([&] {
    gf_log("result: " + read(path));
    return airports_test::kStepPassed;
  });
  fs::permissions(path, readable);
  fs::permissions(learnedPath, fs::perms::none);
  const int learnedFile = airports_test::runAsUser([&] {
    const bool read = this->read(path).empty() && g_parkStands.size() == 1;
    const AirportFile save{"EDDF", "Frankfurt", "", "Aerosoft", 0, 0, 0, 364, g_parkStands};
    return read && !gf_writeApf(save, learnedPath, false) ? airports_test::kStepPassed : 1;
  });
  fs::permissions(learnedPath, readable);
  if (standFile == airports_test::kNoUserRights || learnedFile == airports_test::kNoUserRights) {
    GTEST_SKIP() << "could not give up root's rights";
  }
  EXPECT_TRUE(
      m_folder.logHas("result: airports/my_thirdparty/EDDF.xml could not be loaded, it "
                      "cannot be read: Permission denied"));
  EXPECT_EQ(learnedFile, airports_test::kStepPassed);
  EXPECT_TRUE(
      m_folder.logHas("===> airports/learned/thirdparty/Aerosoft/EDDF.xml found, but could "
                      "not be loaded, it cannot be read: Permission denied; it is left as "
                      "it is"));
  EXPECT_TRUE(m_folder.logHas(
      "===> airports/learned/thirdparty/Aerosoft/EDDF.xml cannot be read, it is left as it is"));
  EXPECT_FALSE(fs::exists("airports/learned/thirdparty/Aerosoft/EDDF0.xml"));
  EXPECT_EQ(readText(learnedPath), learnedBytes);
}
#endif

// A callsign too long for a static's tail number is no reason to drop an option: the file is the
// user's, and the save writes back what was read. Only static aircraft are never made of it.
TEST_F(StandFileTest, OptionsWithCallsignsTooLongForATailNumberAreKept) {
  const std::string path = "airports/my_thirdparty/LEMD.xml";
  const auto opt = [](const std::string& cs, int day = 1) {
    return fmt::format(R"(<opt reg="" airl="IBE" type="A320" day="{}" hh="10" cs="{}" />)", day, cs);
  };
  StandFileLayout archive;
  archive.parameters = {{"airport_name", "Madrid"}, {"publisher", "Aerosoft"}, {"altitude", "1998"}};
  archive.stands = {{"T1", 40.47, -3.56}};
  archive.stands[0].options = {opt("IBE12345678"), opt("IBE1:IBE12345678X"), opt("IBE123456789*")};
  fixtures::writeStandFile(path, archive);
  StandFileLayout learned;
  learned.parameters = {{"airport_name", "Madrid"}};
  learned.stands = {{"T1", 0, 0}};
  learned.stands[0].options = {opt("VLG12345678", 2)};
  fixtures::writeStandFile("airports/learned/thirdparty/Aerosoft/LEMD.xml", learned);
  g_parkAirportIcao = "LEMD";

  EXPECT_EQ(read(path), "");
  ASSERT_EQ(g_parkStands.size(), 1u);
  std::vector<std::string> kept;
  for (const ParkPosOption& o : g_parkStands[0].options) kept.push_back(o.cs + ":" + o.cs2);
  EXPECT_THAT(kept, ElementsAre("IBE12345678:", "IBE1:IBE12345678X", "IBE123456789*:",
                                "VLG12345678:"));
  EXPECT_FALSE(m_folder.logHas("too long"));
}

// The traffic radius a learned file records: the setting and its copies are clamped alike, a
// corrupt huge value included.
TEST_F(StandFileTest, LearnedTrafficRadius) {
  const int rangeBefore = g_paramLateralRange.value();
  const std::string path = "airports/my_ORBX/EGLL.xml";
  StandFileLayout archive;
  archive.parameters = {{"publisher", "simaddon"}, {"altitude", "83"}};
  archive.stands = {{"A1", 51.47, -0.45}};
  fixtures::writeStandFile(path, archive);
  const std::filesystem::path learnedPath = "airports/learned/my_ORBX/EGLL.xml";
  for (const auto& [recorded, nm, metres] :
       {std::tuple{"120", 100.0, 185200u}, std::tuple{"2000000000", 100.0, 185200u}}) {
    SCOPED_TRACE(recorded);
    StandFileLayout learned;
    learned.parameters = {{"LATERAL_RANGE", recorded}};
    fixtures::writeStandFile(learnedPath, learned);
    g_parkStands.clear();
    EXPECT_EQ(read(path), "");
    EXPECT_EQ(g_paramLateralRange.value(), 100);
    EXPECT_EQ(g_trafficRadiusNm.load(), nm);
    EXPECT_EQ(g_trafficRadiusM.load(), metres);
    EXPECT_TRUE(m_folder.logHas(fmt::format("LATERAL_RANGE           : {}", recorded)));
  }
  g_paramLateralRange.setValue(rangeBefore);
  gf_setTrafficRadius(rangeBefore);
}

// Registrations the database knows take its airline (its operator first) and type.
TEST_F(StandFileTest, RegistrationsKnownToTheDatabase) {
  g_dbaseRegs["D-AIAB"] = RegInfo{"DLH", "A321", "CLH", false};
  g_dbaseRegs["D-AICD"] = RegInfo{"EWG", "A320", "", false};

  const std::string path = "airports/my_ORBX/EDDF.xml";
  StandFileLayout layout;
  layout.parameters = {{"altitude", "1"}};
  fixtures::StandRow row("A1", 50.0, 8.0);
  row.options = {"<opt reg=\"D-AIAB\" airl=\"XXX\" type=\"B738\" day=\"2\" hh=\"4\" />",
                 "<opt reg=\"D-AICD\" airl=\"XXX\" type=\"B738\" day=\"2\" hh=\"5\" />",
                 "<opt reg=\"N123\" airl=\"XXX\" type=\"B738\" day=\"2\" hh=\"6\" />"};
  layout.stands = {row};
  fixtures::writeStandFile(path, layout);
  EXPECT_EQ(read(path), "");
  ASSERT_EQ(g_parkStands.size(), 1u);
  const auto& options = g_parkStands[0].options;
  ASSERT_EQ(options.size(), 3u);
  EXPECT_EQ(options[0].airline, "CLH");  // the operator wins over the airline
  EXPECT_EQ(options[0].type, "A321");
  EXPECT_EQ(options[1].airline, "EWG");
  EXPECT_EQ(options[2].airline, "XXX");
  EXPECT_EQ(options[2].type, "B738");
  g_dbaseRegs.clear();
}
