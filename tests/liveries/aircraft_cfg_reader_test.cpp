// Reading aircraft.cfg files: the whole-line key matcher, [fltsim.N] headers, the numbering
// check, section boundaries, the file's type code and the encodings.

#include "liveries/aircraft_cfg_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <list>
#include <tuple>
#include <utility>

#include "fixtures/ai_package_writer.h"
#include "foundation/file_names.h"
#include "liveries/aircraft_database.h"
#include "liveries/fltsim_section.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

using liveries_test::contains;
using liveries_test::LiveriesEnv;

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
  EXPECT_TRUE(lf_parkingCodesKey("atc_parking_codes=BAW, SHT", value));
  EXPECT_EQ(value, "BAW");  // the first code only
  EXPECT_TRUE(lf_parkingCodesKey("atc_parking_codes=,BAW", value));
  EXPECT_EQ(value, "");
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

class CfgReading : public ::testing::Test {
 protected:
  void SetUp() override {
    g_dbaseTypes.insert({"B738", "T154", "GLID", "A320", "B744"});
    g_dbaseFixes["B737-800"] = "B738";
  }
  LiveriesEnv env_;
};

TEST_F(CfgReading, SectionsMustBeNumberedFromZeroWithoutGaps) {
  const std::string gap = "f contains non-consecutive [fltsim.x] numbers at .x=";
  const std::tuple<std::vector<std::string>, bool, std::string> cases[] = {
      {{"[fltsim.2]", "[fltsim.0]", "[fltsim.1]"}, true, ""},
      {{"[fltsim.0]", "[fltsim.2]"}, false, gap + "2"},
      {{"[fltsim.1]", "[fltsim.2]"}, false, gap + "1"},
      {{"[fltsim.0]", "[fltsim.0]", "[fltsim.1]"}, false, gap + "0"},
      {{"[fltsim.0]", "[fltsim.1]", "[fltsim.]"},
       false,
       "f contains a [fltsim.] section without a number"},
      {{"[fltsim.0]", "[Fltsim.x]"}, true, ""},
      {{"[fltsim.0]", "[fltsim.99999999999]"}, false, ""},  // overflow: logged only
  };
  for (const auto& [lines, result, report] : cases) {
    g_invalidCfgFiles.clear();
    EXPECT_EQ(lf_checkFltsimNumbers(lines, "f"), result) << lines.back();
    EXPECT_EQ(g_invalidCfgFiles,
              report.empty() ? std::list<std::string>{} : std::list<std::string>{report});
  }
  EXPECT_TRUE(contains(env_.log(), "===> fltsim num [fltsim.99999999999] incorrect"));
  // No header at all: an empty file, not an invalid one.
  EXPECT_TRUE(lf_checkFltsimNumbers({"[General]", "atc_model=B738"}, "empty.cfg"));
  EXPECT_EQ(g_cfgWithoutFltsim, std::list<std::string>{"empty.cfg"});
}

TEST_F(CfgReading, TypeCodeFromTheFirstAtcModelLine) {
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

TEST_F(CfgReading, TypeCodeFromTheIvaoModelSetFolder) {
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

// The report lines of the sections the lines are cut into; the sections all lack a title, so
// each gives one "misses title" line naming its header.
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

TEST_F(CfgReading, SectionBoundaries) {
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
  // The boundary exactly: a '[' in column 5 (0-based) still ends the section, which then misses
  // the title after it; one in column 6 is part of the section, which has its title.
  const std::string missesTitle = f + " [fltsim.0] misses title";
  for (const auto& [line, ends] : {std::pair{"[x]", true}, std::pair{"     [x]", true},
                                   std::pair{"      [x]", false}, std::pair{"\t\t\t\t\t[x]", true},
                                   std::pair{"\t\t\t\t\t\t[x]", false}}) {
    const auto reports = lf_sectionHeaders({"[fltsim.0]", line, "title=T"}, false, folder);
    EXPECT_EQ(std::find(reports.begin(), reports.end(), missesTitle) != reports.end(), ends)
        << "'" << line << "'";
  }
  // In an IVAO model-set file any '[' ends it.
  EXPECT_EQ(lf_sectionHeaders({"[fltsim.0]", "description=abc [old]", "title=T"}, true, folder),
            (std::vector<std::string>{f + " [fltsim.0] misses title"}));
}

TEST_F(CfgReading, EveryEncodingIsReadAsUtf8) {
  using fixtures::CfgEncoding;
  const std::filesystem::path file = env_.path() / "aircraft.cfg";
  for (CfgEncoding encoding : {CfgEncoding::kUtf8, CfgEncoding::kUtf8Bom, CfgEncoding::kUtf16Le,
                               CfgEncoding::kUtf16Be, CfgEncoding::kCp1252}) {
    fixtures::writeFileBytes(
        file, fixtures::encodeText("[fltsim.0]\r\ntitle=Jodel A\xC3\xA9roclub\r\n", encoding));
    std::vector<std::string> lines;
    ASSERT_TRUE(lf_readCfgLines(file.string(), lines, false));
    std::string title;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "[fltsim.0]");
    EXPECT_TRUE(lf_titleKey(lines[1], title));
    // cp1252 text is kept as its bytes.
    EXPECT_EQ(title,
              encoding == CfgEncoding::kCp1252 ? "Jodel A\xE9roclub" : "Jodel A\xC3\xA9roclub")
        << static_cast<int>(encoding);
  }
}

TEST_F(CfgReading, MalformedFilesGiveReportsOrNothing) {
  const std::filesystem::path dir = env_.path() / "bad";
  const std::pair<const char*, std::string> files[] = {
      {"empty", ""},
      {"odd utf16", std::string("\xFF\xFE[\0f\0l\0", 9)},
      {"bad utf16", std::string("\xFF\xFE\x00\xD8\x41\x00\n\x00", 8)},
      {"binary", std::string("\0\x01\x02[fltsim.0]\0\xFF\xFE\n\x80\x81", 17)},
      {"truncated", "[General]\natc_model=B738\n[fltsim.0]\ntitle=Cut of"},
      {"no model", "[fltsim.0]\ntitle=x\n"},
  };
  std::vector<std::string> lines;
  EXPECT_FALSE(lf_readCfgLines((dir / "none.cfg").string(), lines, true));
  EXPECT_TRUE(contains(env_.log(), "===> no character set found for"));
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
