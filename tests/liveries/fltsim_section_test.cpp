// Section processing: key precedence and duplicate rules, folder checks, airline decision,
// cargo flag, duplicate titles, don't-use titles, and the IVAO model-set variant.

#include "liveries/fltsim_section.h"

#include <gtest/gtest.h>

#include <list>

#include "fixtures/ai_package_writer.h"
#include "liveries/aircraft_database.h"
#include "liveries/dont_use_titles.h"
#include "liveries/liveries_test_support.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::contains;
using liveries_test::liv;
using liveries_test::LiveriesEnv;

class FltsimSection : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = gf_pathToUtf8(env_.path() / "Some Aircraft");
    for (const char* name : {"model", "model.x", "texture", "texture.DLH", "texture.1"}) {
      fs::create_directories(gf_pathFromUtf8(folder_) / name);
    }
    for (const char* name : {"B738.air", "C172.air", ".air"}) {
      fixtures::writeFileBytes(gf_pathFromUtf8(folder_) / name, "");
    }
    g_dbaseTypes.insert({"B738", "C172", "B744"});
    g_dbaseLarge.insert("B738");
    g_dbaseHeavy.insert("B744");
    g_dbaseIcaoAirlines.insert({"DLH", "BAW", "KLM", "ZZZ", "EWG"});
    g_dbaseRegs["D-ABCD"] = RegInfo{"DLH", "B738", "", false};
    g_dbaseRegs["D-EMPT"] = RegInfo{"", "B738", "", false};
    g_dbaseRegs["D-OPER"] = RegInfo{"", "B738", "EWG", false};
    g_dbasePvtRegs = {"N12"};
  }

  // Processes one section of an ordinary file; the livery made, if any.
  std::list<Livery> process(std::vector<std::string> lines, const std::string& type = "B738") {
    std::list<Livery> result;
    FolderChecks checks;
    lf_procesFltSimSection(result, 3, lines, type, cfgPath(), folder_, checks);
    return result;
  }
  Livery processMtl(std::vector<std::string> lines) {
    FolderChecks checks;
    return lf_procesMtlFltSimSection(2, lines, "B738", cfgPath(), folder_, checks);
  }
  std::string cfgPath() const { return folder_ + "/aircraft.cfg"; }
  std::vector<std::string> reports() {
    std::vector<std::string> all(g_incompleteSections.begin(), g_incompleteSections.end());
    all.insert(all.end(), g_invalidAirlineCodes.begin(), g_invalidAirlineCodes.end());
    g_incompleteSections.clear();
    g_invalidAirlineCodes.clear();
    return all;
  }

  LiveriesEnv env_;
  std::string folder_;
};

struct SectionCase {
  std::vector<std::string> lines;  // after the header, title and sim lines
  const char* type;
  const char* airl;  // "" = no livery
  const char* atcid;
  bool cargo;
  const char* report;  // "" = none; "%F" stands for the folder
};

// The section's report lines, "%F" standing for the folder.
std::string withFolder(std::string report, const std::string& folder) {
  if (const auto at = report.find("%F"); at != std::string::npos) report.replace(at, 2, folder);
  return report;
}

TEST_F(FltsimSection, AirlineRegistrationAndCargo) {
  // clang-format off
  const SectionCase cases[] = {
      {{"atc_parking_codes=BAWX"}, "B738", "BAW", "", false, ""},
      {{"atc_parking_codes=DLHC, SHT"}, "B738", "DLH", "", false, ""},
      {{"atc_parking_codes=XYZ", "sim=C172"}, "C172", "PVT", "", false,
       "XYZ          in %F/aircraft.cfg [fltsim.0]"},
      {{"atc_parking_codes=AB", "atc_parking_codes=KLM"}, "B738", "KLM", "", false,
       "AB           in %F/aircraft.cfg [fltsim.0]"},
      {{"atc_parking_codes=RFO"}, "B738", "", "", false, ""},
      {{"atc_id=D-ABCD ;old"}, "B738", "DLH", "D-ABCD", false, ""},
      {{"atc_id=D-ABCD,D-ABCE", "sim=C172"}, "C172", "PVT", "", false, ""},
      {{"atc_id=D-AB*", "sim=C172"}, "C172", "PVT", "", false, ""},
      {{"atc_id=ABCDEFGHIJKLM", "sim=C172"}, "C172", "PVT", "", false, ""},
      {{"atc_id=D-XXXX", "sim=C172"}, "C172", "PVT", "D-XXXX", false, ""},
      {{"sim=C172"}, "C172", "PVT", "N12", false, ""},
      {{"atc_id=D-XXXX"}, "B738", "", "", false,
       "\"%F\" \"[fltsim.0]\" has no airline and its regcode is not in my dbase (very old liv?)"},
      {{}, "B738", "", "", false, "\"%F\" \"[fltsim.0]\" has no airline and no regcode info"},
      {{"atc_id=D-OPER"}, "B738", "EWG", "D-OPER", false, ""},  // no airline: the operator
      {{"atc_id=D-EMPT"}, "B738", "", "", false,
       "%F [fltsim.0] registration D-EMPT has no airline in my dbase"},
      {{"atc_parking_codes=ZZZ", "atc_id=D-ABCD"}, "B738", "ZZZ", "", false, ""},
      {{"atc_parking_codes=KLM", "atc_parking_types=Cargo"}, "B738", "KLM", "", true, ""},
      {{"atc_parking_codes=KLM", "atc_parking_types=GATE,RAMP_CARGO"}, "B738", "KLM", "", true,
       ""},
      {{"atc_parking_codes=KLM", "atc_parking_types=GATE", "", "//atc_parking_types=CARGO", ""},
       "B738", "KLM", "", false, ""},
  };
  // clang-format on
  int n = 0;
  for (const SectionCase& c : cases) {
    const bool privateReg = std::string(c.atcid) == "N12";
    const std::string title = (privateReg ? "C172 N12 title " : "title ") + std::to_string(n++);
    std::vector<std::string> lines = {"[fltsim.0]", "title=" + title, "sim=B738"};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    const std::list<Livery> made = process(lines, c.type);
    EXPECT_EQ(reports(), *c.report ? std::vector<std::string>{withFolder(c.report, folder_)}
                                   : std::vector<std::string>{})
        << title;
    if (!*c.airl) {
      EXPECT_TRUE(made.empty()) << title;
      continue;
    }
    ASSERT_EQ(made.size(), 1u) << title;
    EXPECT_EQ(made.front(), liv(c.airl, c.type, title, c.atcid, c.cargo)) << title;
    EXPECT_EQ(made.front().priority, 3);
  }
  const std::string log = env_.log();
  EXPECT_TRUE(contains(log, "===> title 7 D-AB* wild cards no longer supported, atc_id skipped "));
  EXPECT_TRUE(contains(log,
                       "regcode: ABCDEFGHIJKLM, has more than 12 chars or contains UTF16 "
                       "chars in \"title 8\"?"));
}

TEST_F(FltsimSection, DuplicateKeysEndTheSection) {
  const std::pair<std::vector<std::string>, std::string> cases[] = {
      {{"title=A", "title=B", "sim=B738", "atc_parking_codes=DLH"},
       "%F [fltsim.0] has more than one title key"},
      {{"title=A", "atc_parking_types=GATE", "//atc_parking_types=CARGO", "sim=B738",
        "atc_parking_codes=DLH"},
       "%F [fltsim.0] has more than one atc_parking_types key"},
      {{"title=A", "atc_parking_codes=DLH", "//atc_parking_codes=BAW", "sim=B738"},
       "%F [fltsim.0] has more than one atc_parking_codes key"},
      {{"title=A", "atc_id=D-ABCD", "; atc_id=D-ABCE", "sim=B738"},
       "%F, [fltsim.0], has more than one atc_id key"},
      {{"sim=B738", "atc_parking_codes=DLH"}, "%F [fltsim.0] misses title"},
      {{"title=A", "model=zz", "texture=NOPE", "sim=B738", "atc_parking_codes=DLH"},
       "%F/model.zz [fltsim.0] does not exist"},
      {{"title=A", "texture=NOPE", "sim=NOAIR", "atc_parking_codes=DLH"},
       "%F/texture.NOPE [fltsim.0] does not exist"},
      {{"title=A", "sim=NOAIR", "atc_parking_codes=DLH"}, "%F/NOAIR.air [fltsim.0] does not exist"},
  };
  for (const auto& [body, expected] : cases) {
    std::vector<std::string> lines = {" [fltsim.0]        "};  // its blanks stay out of reports
    lines.insert(lines.end(), body.begin(), body.end());
    EXPECT_TRUE(process(lines).empty()) << expected;
    EXPECT_EQ(reports(), std::vector<std::string>{withFolder(expected, folder_)});
  }
  // A commented second title line is no title line.
  EXPECT_EQ(
      process({"[fltsim.0]", "title=A", "//title=B", "sim=B738", "atc_parking_codes=DLH"}).size(),
      1u);
}

TEST_F(FltsimSection, TextureFolderNames) {
  // An empty texture value does not match: the folder "texture" is looked for. Names are found
  // in another letter case, as Windows finds them.
  const std::vector<std::string> keys[] = {
      {"title=A", "sim=B738", "texture="},
      {"title=B", "sim=B738", "texture=1"},
      {"title=C", "sim=b738", "Model=X", "texture=dlh"},
  };
  for (std::vector<std::string> lines : keys) {
    lines.insert(lines.begin(), "[fltsim.0]");
    lines.push_back("atc_parking_codes=DLH");
    EXPECT_EQ(process(lines).size(), 1u) << lines[1];
  }
  EXPECT_TRUE(reports().empty());
}

TEST_F(FltsimSection, TitlesAreUniqueOverTheScanAndDontUseTitlesAreSkipped) {
  const std::vector<std::string> section = {"[fltsim.0]", "title=Same", "sim=B738",
                                            "atc_parking_codes=DLH"};
  EXPECT_EQ(process(section).size(), 1u);
  EXPECT_TRUE(process(section).empty());
  EXPECT_EQ(reports(),
            std::vector<std::string>{folder_ + " [fltsim.0] title \"Same\" already exists"});
  g_dontUseTitles = {"Banned"};
  EXPECT_TRUE(process({"[fltsim.0]", "title=Banned", "sim=B738", "atc_parking_codes=DLH"}).empty());
  EXPECT_TRUE(reports().empty());
  // A section rejected for its airline leaves its title free for a later one.
  EXPECT_TRUE(process({"[fltsim.0]", "title=Later", "sim=B738", "atc_id=D-EMPT"}).empty());
  EXPECT_EQ(process({"[fltsim.0]", "title=Later", "sim=B738", "atc_parking_codes=BAW"}).size(), 1u);
}

TEST_F(FltsimSection, IvaoModelSetSections) {
  struct MtlCase {
    std::vector<std::string> lines;
    const char* airl;
    const char* atcid;
    const char* report;
  };
  // clang-format off
  const MtlCase cases[] = {
      {{"title=B738 DLH Lufthansa"}, "DLH", "", ""},
      {{"title=B738DLH", "atc_id=D-ABCD"}, "DLH", "D-ABCD", ""},
      {{"title=B738 ZZZ any", "atc_id=D-ABCD"}, "ZZZ", "", ""},
      {{"title=b738dlh"}, "", "", "dlh          in %F/aircraft.cfg [fltsim.0]"},
      {{"title=DLH B738", "atc_id=D-ABCD ;x"}, "", "",
       "%F [fltsim.0] misses airlinecode in title: DLH B738, and regcode unknownD-ABCD ;x"},
      {{"title=DLH B738 2", "atc_id=D-ABCD"}, "DLH", "D-ABCD", ""},
      {{"title=Nothing"}, "", "",
       "%F [fltsim.0] misses airlinecode in title: Nothing, and no regcode"},
      {{"title=B738 KLM", "sim=NOAIR", "texture=NOPE"}, "", "",
       "%F/NOAIR.air [fltsim.0] does not exist"},
      {{"title=B738 DLH Lufthansa"}, "", "",
       "%F [fltsim.0] title already exists: B738 DLH Lufthansa"},
  };
  // clang-format on
  for (const MtlCase& c : cases) {
    std::vector<std::string> lines = {"[fltsim.0]\t "};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    if (std::none_of(lines.begin(), lines.end(),
                     [](const std::string& l) { return l.starts_with("sim="); })) {
      lines.push_back("sim=B738");
    }
    const Livery made = processMtl(lines);
    EXPECT_EQ(reports(), *c.report ? std::vector<std::string>{withFolder(c.report, folder_)}
                                   : std::vector<std::string>{})
        << c.lines.front();
    EXPECT_EQ(made.airl, c.airl) << c.lines.front();
    EXPECT_EQ(made.atcid, c.atcid) << c.lines.front();
    EXPECT_FALSE(made.cargo);
  }
}

}  // namespace
