// Closing the park airport: every parked aircraft goes, and what was learned is saved as the
// learned stand file where the stand-file reader finds it again.
#include <set>

#include <fmt/format.h>

#include "foundation/file_names.h"
#include "foundation/run_state.h"
#include "park_test_support.h"

namespace traffictest {
namespace {

class CloseSaveTest : public ParkTest {
 protected:
  // A stand file with an option of its own on A1, a ramp A3 and plain A2, A4, A5 and A6.
  static void writeFile(const std::filesystem::path& file, const std::string& publisher) {
    fixtures::StandRow a1 = gf_standRow("A1", 0, 100), a3 = gf_standRow("A3", 180, 100);
    a1.options = {R"(<opt reg="" airl="KLM" type="B738" day="1" hh="20" cs="KLM9" />)"};
    a3.ramp = true;
    gf_writeParkFile(file, publisher, {a1, gf_standRow("A2", 90, 100), a3, gf_standRow("A4", 270, 100),
                                       gf_standRow("A5", 45, 200), gf_standRow("A6", 135, 200)});
  }
  static void open() {
    ASSERT_TRUE(lf_setCurrentParkAirport("EHAM"));
    std::string message;
    lf_readParkedFile(message);
    ASSERT_EQ(message, "");
  }
  static void learn(std::uint32_t standId, std::uint32_t day, int slot) {
    std::vector<ParkPosOption>& options = g_parkStands[standId - 1].options;
    options.push_back(gf_option("TRA", "A320", "TRA1", day, slot));
    options.back().id = static_cast<std::uint32_t>(options.size());
    gf_countStandUpdate();
  }
  static std::multiset<std::string> options() {
    std::multiset<std::string> all;
    for (const ParkPos& s : g_parkStands) {
      for (const ParkPosOption& o : s.options) all.insert(fmt::format("{} {} {} {}", s.id, o.day, o.hh.to_string(), o.cs));
    }
    return all;
  }
  static constexpr const char* kLearned = "airports/learned/thirdparty/Aerosoft/EHAM.xml";
};

TEST_F(CloseSaveTest, LearnedOptionsComeBackForAStockAndAThirdPartyFile) {
  serveStockFiles();
  writeFile("server/P3D/archive/stock/EHAM.xml", "stock");
  for (const auto& [file, learned] : {std::pair<std::filesystem::path, std::string>{"", "airports/learned/stock/EHAM.xml"},
                                      {g_myThirdpartyDir / "EHAM.xml", kLearned}}) {
    if (!file.empty()) writeFile(file, "Aerosoft");
    open();
    learn(1, 1, 21);
    learn(4, 2, 3);
    learn(4, 3, 4);
    g_parkStands[1].radius_change = true;  // A2: corrected, nothing else
    g_parkStands[4].manual = true;         // A5: as if made by hand
    g_dayHhNow = DayHh{1, 21};
    lf_calcStaticParking();  // a calculation in between loses nothing
    const auto before = options();
    gf_addStatic("A320", "TRA1*", 1, {1, 21}, 41);
    gf_addParkedLive("KLM5", 2, 45);
    g_liveAc.back().fs = kFsParking;  // driving to its stand, it holds one too
    gf_addParkedLive("KLM6", 3, 46);
    g_liveAc.back().fs = kFsBirth;  // born parked: so does it
    gf_removeParkedAc();
    EXPECT_TRUE(g_parkAirportIcao.empty() && g_parkStands.empty() && !g_parkStandsReady);
    EXPECT_EQ(g_removeWait, (std::deque<std::uint32_t>{41, 45, 46}));
    EXPECT_TRUE(g_liveAc[0].standId == 0 && g_liveAc[1].standId == 0);
    g_removeWait.clear();
    g_liveAc.clear();
    EXPECT_TRUE(logged(fmt::format("\"{}\" saved with 3 updates \n", learned))) << learned;
    const std::string saved = gf_testReadAll(learned);
    EXPECT_EQ(saved.find("KLM9"), std::string::npos);  // the stand file's own option
    for (const char* stand : {"\"A2\"", "\"A3\"", "\"A5\"", "\"A6\""}) {  // A6: nothing to keep
      EXPECT_EQ(saved.find(stand) != std::string::npos, std::string(stand) != "\"A6\"") << stand;
    }
    open();
    EXPECT_EQ(options(), before);
    std::filesystem::remove(learned);
    lf_closeParkAirport();
  }
}

// A learned use that the stand file's own option covers answers no look-up, yet every save
// keeps it, once.
TEST_F(CloseSaveTest, ALearnedOptionTheStandFileCoversOutlivesTheSaves) {
  writeFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft");
  fixtures::StandFileLayout learned;
  learned.parameters = {{"airport_name", "Schiphol"}};
  learned.stands = {{"A1", 0, 0}};
  learned.stands[0].options = {R"(<opt reg="" airl="KLM" type="B738" day="1" hh="20,21,22,23" cs="KLM7" />)"};
  fixtures::writeStandFile(kLearned, learned);
  for (int visit = 0; visit < 2; ++visit) {
    SCOPED_TRACE(visit);
    open();
    ASSERT_EQ(g_parkStands[0].options.size(), 1u);
    EXPECT_EQ(g_parkStands[0].options[0].cs, "KLM9");
    g_standFileParamsChanged = true;
    lf_closeParkAirport();
    const std::string saved = gf_testReadAll(kLearned);
    EXPECT_NE(saved.find("KLM7"), std::string::npos);
    EXPECT_EQ(saved.find("KLM7"), saved.rfind("KLM7"));
  }
}

TEST_F(CloseSaveTest, ReportsUpdatesParameterChangesAndFailures) {
  writeFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft");
  for (const auto& [updates, paramsChanged, report] :
       {std::tuple{1, false, "saved with 1 update \n"}, {0, true, "saved with 0 updates and one or more parameter changes"},
        {0, false, ""}}) {
    open();
    for (int i = 0; i < updates; ++i) learn(1, 1, 21);
    g_standFileParamsChanged = paramsChanged;
    lf_closeParkAirport();
    EXPECT_EQ(std::filesystem::exists(kLearned), *report != 0);
    EXPECT_TRUE((*report == 0 || logged(report)) && !g_standFileParamsChanged) << report;
    std::filesystem::remove(kLearned);
  }

  // A handmade learned file is saved whole, with its quality factors.
  fixtures::StandFileLayout handmade;
  handmade.parameters = {{"airport_name", "Schiphol"}, {"handmade", "false"}, {"altitude", "-11"}};
  handmade.stands = {gf_standRow("H1", 0, 100), gf_standRow("H2", 90, 100)};
  handmade.stands[0].options = {R"(<opt reg="" airl="KLM" type="B738" day="1" hh="20" cs="KLM9" />)"};
  fixtures::writeStandFile(kLearned, handmade);
  open();
  g_standFileParamsChanged = true;
  lf_closeParkAirport();
  const std::string saved = gf_testReadAll(kLearned);
  EXPECT_TRUE(logged(fmt::format(" handmade \"{}\" saved", kLearned)));
  EXPECT_TRUE(saved.find("\"Qf_real\"") != std::string::npos && saved.find("\"H2\"") != std::string::npos);

  // A learned folder that cannot be made: reported, and the airport is closed all the same.
  std::filesystem::remove_all("airports/learned/thirdparty");
  gf_testWriteFile("airports/learned/thirdparty", "a file in the folder's place");
  open();
  learn(1, 1, 21);
  gf_removeParkedAc();
  EXPECT_TRUE(logged(fmt::format("saving \"{}\" did not succeed", kLearned)));
  EXPECT_TRUE(g_parkAirportIcao.empty() && !g_parkStandsReady && g_parkStands.empty());
}

}  // namespace
}  // namespace traffictest
