// Reading aircraft.cfg files: the whole-line key matcher, [fltsim.N] headers, the numbering
// check, section boundaries, the file's type code and the encodings.

#include "liveries/aircraft_cfg_reader.h"

#include <gtest/gtest.h>

#include <list>

#include "fixtures/ai_package_writer.h"
#include "foundation/file_names.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/livery_scan_support.h"
#include "liveries/scan_reports.h"

namespace {

using liveries_test::ScanEnvironment;

struct KeyCase {
  const char* line;
  const char* key;
  const char* value;  // "" = no match
};

TEST(AircraftCfgKeys, WholeLineMatchInAnyCase) {
  const KeyCase cases[] = {
      {"title = My Livery ; old", "title", "My Livery ; old"},
      {"  TITLE=X", "title", "X"},
      {"Title\t=\tX \t\r", "title", "X"},
      {"title=X\v\f", "title", "X"},
      {";title=X", "title", ""},
      {"//title=X", "title", ""},
      {"title=", "title", ""},
      {"title=   \t", "title", ""},
      {"titles=X", "title", ""},
      {"title X", "title", ""},
      {"title=a\rb", "title", ""},  // a carriage return inside the value does not match
      {"title==X", "title", "=X"},
      {"atc_id=D-ABCD ;old", "atc_id", "D-ABCD ;old"},
      {"ATC_PARKING_TYPES = gate,ramp", "atc_parking_types", "gate,ramp"},
      {"atc_model=\"B738\"", "atc_model", "\"B738\""},
      {"title=Caf\xC3\xA9 \xE9t\xE9", "title", "Caf\xC3\xA9 \xE9t\xE9"},
  };
  for (const KeyCase& c : cases) {
    EXPECT_EQ(lf_matchKey(c.line, c.key), c.value) << c.line;
  }
}

TEST(AircraftCfgKeys, LongLinesAreMatchedWithoutTrouble) {
  const std::string value(200000, 'x');
  EXPECT_EQ(lf_matchKey("title=" + value + "   ", "title"), value);
}

TEST(AircraftCfgKeys, KeyOperationsAssignOnlyOnMatch) {
  std::string value = "kept";
  EXPECT_FALSE(lf_titleKey("title=", value));
  EXPECT_EQ(value, "kept");
  EXPECT_TRUE(lf_modelKey("model = x", value));
  EXPECT_EQ(value, "x");
  EXPECT_TRUE(lf_parkingCodesKey("atc_parking_codes=BAW, SHT", value));
  EXPECT_EQ(value, "BAW");
  EXPECT_TRUE(lf_parkingCodesKey("atc_parking_codes=,BAW", value));
  EXPECT_EQ(value, "");
  EXPECT_EQ(lf_atcModelKey("atc_model=B738 // comment"), "B738 // comment");
  EXPECT_TRUE(lf_hasAtcIdKey("//atc_id=X"));
  EXPECT_FALSE(lf_hasAtcIdKey("ATC_ID=X"));
  EXPECT_TRUE(lf_hasParkingTypesKey("//atc_parking_types=CARGO"));
}

TEST(AircraftCfgHeaders, SectionNumberText) {
  const std::pair<const char*, const char*> cases[] = {
      {"[FLTSIM.0]", "0"},
      {"[fltsim.0]", "0"},
      {" [Fltsim.0] ", "0"},
      {"[fltsim.12]\r", "12"},
      {"//[fltsim.0]", ""},
      {"[fltsim.]", "10000"},
      {"[FLTSIM.x]", "10000"},
      {"[Fltsim.x]", ""},
      {"[fltsim.1] x", "10000"},
      {"[General]", ""},
      {"/", ""},
      {"[fltsim.99999999999]", "99999999999"},
  };
  for (const auto& [line, number] : cases) EXPECT_EQ(lf_fltsimNumber(line), number) << line;
}

class NumberingCheck : public ::testing::Test {
 protected:
  ScanEnvironment env_;
};

TEST_F(NumberingCheck, SectionsMustBeNumberedFromZeroWithoutGaps) {
  struct Case {
    std::vector<std::string> lines;
    bool result;
    const char* report;  // "" = none
  };
  const Case cases[] = {
      {{"[fltsim.2]", "[fltsim.0]", "[fltsim.1]"}, true, ""},
      {{"[fltsim.0]", "[fltsim.2]"},
       false,
       "f contains non-consecutive [fltsim.x] numbers at .x=2"},
      {{"[fltsim.1]", "[fltsim.2]"},
       false,
       "f contains non-consecutive [fltsim.x] numbers at .x=1"},
      {{"[fltsim.0]", "[fltsim.0]", "[fltsim.1]"},
       false,
       "f contains non-consecutive [fltsim.x] numbers at .x=0"},
      {{"[fltsim.0]", "[fltsim.1]", "[fltsim.]"},
       false,
       "f contains a [fltsim.] section without a number"},
      {{"[fltsim.0]", "[Fltsim.x]"}, true, ""},
  };
  for (const Case& c : cases) {
    g_invalidCfgFiles.clear();
    EXPECT_EQ(lf_checkFltsimNumbers(c.lines, "f"), c.result);
    if (*c.report) {
      EXPECT_EQ(g_invalidCfgFiles, std::list<std::string>{c.report});
    } else {
      EXPECT_TRUE(g_invalidCfgFiles.empty());
    }
  }
}

TEST_F(NumberingCheck, OverflowIsLoggedAndNoHeaderIsAnEmptyFile) {
  EXPECT_FALSE(lf_checkFltsimNumbers({"[fltsim.0]", "[fltsim.99999999999]"}, "f"));
  EXPECT_TRUE(g_invalidCfgFiles.empty());
  EXPECT_NE(env_.log().find("===> fltsim num [fltsim.99999999999] incorrect"), std::string::npos);
  EXPECT_TRUE(lf_checkFltsimNumbers({"[General]", "atc_model=B738"}, "empty.cfg"));
  EXPECT_EQ(g_cfgWithoutFltsim, std::list<std::string>{"empty.cfg"});
}

class TypeCode : public ::testing::Test {
 protected:
  void SetUp() override {
    g_dbaseTypes.insert({"B738", "T154", "GLID", "A320", "B744"});
    g_dbaseFixes["B737-800"] = "B738";
  }
  ScanEnvironment env_;
};

TEST_F(TypeCode, FromTheFirstAtcModelLineOfTheFile) {
  EXPECT_EQ(lf_modelFromAtcModel("p", {"[fltsim.0]", "atc_model=B738", "atc_model=A320"}), "B738");
  EXPECT_EQ(lf_modelFromAtcModel("p", {"atc_model=B737-800"}), "B738");
  EXPECT_EQ(g_codeFixes,
            std::vector<std::string>{"Model fix: B737-800 found in p changed into B738"});
  EXPECT_EQ(lf_modelFromAtcModel("p", {"atc_model=b738"}), "");
  EXPECT_EQ(g_invalidModelCodes, std::list<std::string>{"b738             in p"});
  EXPECT_EQ(lf_modelFromAtcModel("p", {"//atc_model=B738"}), "");
  EXPECT_EQ(g_invalidCfgFiles,
            std::list<std::string>{"Line atc_model= is missing in [General] section of p"});
}

TEST_F(TypeCode, FromTheIvaoModelSetFolder) {
  const std::pair<const char*, const char*> cases[] = {
      {"C:\\AI\\IVAO_MTL\\IVAO_B738w\\aircraft.cfg", "B738"},
      {"/sim/AI/IVAO_MTL/IVAO_GLID_KA8/aircraft.cfg", "GLID"},
      {"/sim/AI/ivao_mtl/ivao_T154B2/Aircraft.CFG", "T154"},
      {"/sim/AI/IVAO_MTL/IVAO_B744F/aircraft.cfg", "B744"},
      {"/sim/AI/IVAO_MTL/IVAO_B738/sim.cfg", ""},
      {"/sim/ivao_x-csl/B738/aircraft.cfg", ""},
      {"IVAO_MTL/IVAO_B738/aircraft.cfg", ""},  // nothing before the IVAO_MTL folder
  };
  for (const auto& [path, type] : cases) EXPECT_EQ(lf_ivaoModelFromPath(path), type) << path;
  EXPECT_EQ(g_invalidModelCodes.size(), 3u);
  EXPECT_EQ(g_invalidModelCodes.front(), "                 in /sim/AI/IVAO_MTL/IVAO_B738/sim.cfg");
}

// Sections handed to the processing, as (header, line count) pairs, for files whose sections
// all lack a title (each gives one "misses title" line naming its header).
std::vector<std::string> lf_sectionHeaders(const std::vector<std::string>& lines, bool mtl,
                                           const std::filesystem::path& folder) {
  std::list<Livery> result;
  SectionCollector state;
  state.type = "B738";
  state.cfgPath = (folder / "aircraft.cfg").string();
  state.folder = folder.string();
  state.destination = &result;
  for (const std::string& line : lines) {
    if (mtl)
      lf_mtlLineStep(state, line);
    else
      lf_lineStep(state, line);
  }
  lf_finishSections(state, mtl);
  std::vector<std::string> reports(g_incompleteSections.begin(), g_incompleteSections.end());
  g_incompleteSections.clear();
  return reports;
}

TEST_F(TypeCode, SectionBoundaries) {
  const std::filesystem::path folder = env_.path() / "ac";
  std::filesystem::create_directories(folder / "model");
  std::filesystem::create_directories(folder / "texture");
  fixtures::writeFileBytes(folder / ".air", "");
  const std::string f = folder.string();
  // A '[' within the first six characters ends an ordinary section; a later one does not.
  EXPECT_EQ(
      lf_sectionHeaders({"x", "[fltsim.0]", "description=abc [old]", "[fltsim.1]", "  [x]",
                         "title=T", "//[fltsim.2]"},
                        false, folder),
      (std::vector<std::string>{f + " [fltsim.0] misses title", f + " [fltsim.1] misses title"}));
  // In an IVAO model-set file any '[' ends it.
  EXPECT_EQ(lf_sectionHeaders({"[fltsim.0]", "description=abc [old]", "title=T"}, true, folder),
            (std::vector<std::string>{f + " [fltsim.0] misses title"}));
}

class CfgEncodings : public ::testing::TestWithParam<fixtures::CfgEncoding> {
 protected:
  ScanEnvironment env_;
};

TEST_P(CfgEncodings, LinesReadAsUtf8) {
  const std::filesystem::path file = env_.path() / "aircraft.cfg";
  fixtures::writeFileBytes(
      file, fixtures::encodeText("[fltsim.0]\r\ntitle=Jodel A\xC3\xA9roclub\r\n", GetParam()));
  std::vector<std::string> lines;
  ASSERT_TRUE(lf_readCfgLines(file.string(), lines, false));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "[fltsim.0]");
  const std::string expected =
      GetParam() == fixtures::CfgEncoding::kCp1252 ? "Jodel A\xE9roclub" : "Jodel A\xC3\xA9roclub";
  std::string title;
  EXPECT_TRUE(lf_titleKey(lines[1], title));
  EXPECT_EQ(title, expected);
}

INSTANTIATE_TEST_SUITE_P(All, CfgEncodings,
                         ::testing::Values(fixtures::CfgEncoding::kUtf8,
                                           fixtures::CfgEncoding::kUtf8Bom,
                                           fixtures::CfgEncoding::kUtf16Le,
                                           fixtures::CfgEncoding::kUtf16Be,
                                           fixtures::CfgEncoding::kCp1252));

TEST_F(NumberingCheck, MissingFileIsNotRead) {
  std::vector<std::string> lines;
  EXPECT_FALSE(lf_readCfgLines((env_.path() / "none.cfg").string(), lines, true));
  EXPECT_NE(env_.log().find("===> no character set found for"), std::string::npos);
}

TEST_F(NumberingCheck, MalformedFilesGiveReportsOrNothing) {
  g_dbaseTypes.insert("B738");
  const std::filesystem::path dir = env_.path() / "bad";
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"odd utf16", std::string("\xFF\xFE[\0f\0l\0", 9)},
      {"bad utf16", std::string("\xFF\xFE\x00\xD8\x41\x00\n\x00", 8)},
      {"binary", std::string("\0\x01\x02[fltsim.0]\0\xFF\xFE\n\x80\x81", 17)},
      {"truncated", "[General]\natc_model=B738\n[fltsim.0]\ntitle=Cut of"},
      {"no model", "[fltsim.0]\ntitle=x\n"},
  };
  for (const auto& [name, bytes] : files) {
    fixtures::writeFileBytes(dir / name / "aircraft.cfg", bytes);
    EXPECT_NO_THROW(lf_searchLiveriesinFile(1, dir / name / "aircraft.cfg")) << name;
  }
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_EQ(g_cfgWithoutFltsim.size(), 2u);  // the empty file and the undecodable UTF-16 one
  // Files without a header still have their type looked for: three lack atc_model; the binary
  // one holds "[fltsim." inside a line, a header without a proper number. The UTF-16 file that
  // cannot be decoded is skipped without a report (its conversion error is logged).
  EXPECT_EQ(g_invalidCfgFiles.size(), 4u);
  EXPECT_EQ(std::count_if(g_invalidCfgFiles.begin(), g_invalidCfgFiles.end(),
                          [](const std::string& l) {
                            return l.ends_with("a [fltsim.] section without a number");
                          }),
            1);
  EXPECT_EQ(g_incompleteSections.size(), 1u);  // the truncated file's section has no folders
}

}  // namespace
