// Closing the park airport: every parked aircraft goes, and what was learned is saved as the
// learned stand file where the stand-file reader finds it again.
#include <set>

#include <fmt/format.h>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "park_test_support.h"

namespace traffictest {
namespace {

class CloseSaveTest : public ParkTest {
 protected:
  // A stand file with an option of its own on A1, an empty A2, a ramp A3 and a plain A4.
  void writeFile(const std::filesystem::path& file, const std::string& publisher) {
    fixtures::StandRow a1 = gf_standRow("A1", 0, 100);
    a1.options = {R"(<opt reg="" airl="KLM" type="B738" day="1" hh="20" cs="KLM9" />)"};
    fixtures::StandRow a3 = gf_standRow("A3", 180, 100);
    a3.ramp = true;
    gf_writeParkFile(file, publisher, {a1, gf_standRow("A2", 90, 100), a3, gf_standRow("A4", 270, 100)});
  }
  void open() {
    ASSERT_TRUE(lf_setCurrentParkAirport("EHAM"));
    std::string message;
    lf_readParkedFile(message);
    ASSERT_EQ(message, "");
  }
  void learn(std::uint32_t standId, std::uint32_t day, int slot) {
    g_parkStands[standId - 1].options.push_back(gf_option("TRA", "A320", "TRA1", day, {slot}));
    g_parkStands[standId - 1].options.back().id = static_cast<std::uint32_t>(g_parkStands[standId - 1].options.size());
    gf_countStandUpdate();
  }
  static std::multiset<std::string> options() {
    std::multiset<std::string> all;
    for (const ParkPos& s : g_parkStands) {
      for (const ParkPosOption& o : s.options) {
        all.insert(fmt::format("{} {} {} {} {}", s.id, o.day, gf_bitset2hours(o.hh), o.cs, o.origin));
      }
    }
    return all;
  }
};

TEST_F(CloseSaveTest, LearnedOptionsComeBackForAStockAndAThirdPartyFile) {
  serveStockFiles();
  writeFile("server/P3D/archive/stock/EHAM.xml", "stock");
  struct Row {
    std::filesystem::path file, learned;
  };
  for (const Row& r : {Row{"", "airports/learned/stock/EHAM.xml"},
                       Row{g_myThirdpartyDir / "EHAM.xml", "airports/learned/thirdparty/Aerosoft/EHAM.xml"}}) {
    if (!r.file.empty()) writeFile(r.file, "Aerosoft");
    open();
    learn(1, 1, 21);
    learn(4, 2, 3);
    learn(4, 3, 4);
    g_parkStands[1].radius_change = true;  // A2: corrected, nothing else
    g_dayHhNow = DayHh{1, 21};
    lf_calcStaticParking();  // a calculation in between loses nothing
    const auto learned = options();
    gf_addStatic("A320", "TRA1*", 1, {1, 21}, 41);
    gf_removeParkedAc();
    EXPECT_TRUE(g_parkAirportIcao.empty() && g_parkStands.empty() && !g_parkStandsReady);
    EXPECT_EQ(g_removeWait.back(), 41u);
    EXPECT_TRUE(logged(fmt::format("\"{}\" saved with 3 updates \n", r.learned.string()))) << r.learned;
    const std::string saved = gf_testReadAll(r.learned);
    EXPECT_EQ(saved.find("KLM9"), std::string::npos);  // the stand file's own option
    for (const char* stand : {"\"A1\"", "\"A2\"", "\"A3\"", "\"A4\""}) {
      EXPECT_NE(saved.find(stand), std::string::npos) << stand;
    }
    open();
    EXPECT_EQ(options(), learned);
    std::filesystem::remove(r.learned);
    lf_closeParkAirport();
  }
}

TEST_F(CloseSaveTest, ReportsUpdatesParameterChangesAndFailures) {
  writeFile(g_myThirdpartyDir / "EHAM.xml", "Aerosoft");
  struct Row {
    int updates;
    bool paramsChanged;
    std::string report;
  };
  const Row rows[] = {{1, false, "saved with 1 update \n"},
                      {0, true, "saved with 0 updates and one or more parameter changes"},
                      {0, false, ""}};
  for (const Row& r : rows) {
    open();
    for (int i = 0; i < r.updates; ++i) learn(1, 1, 21);
    g_standFileParamsChanged = r.paramsChanged;
    lf_closeParkAirport();
    EXPECT_EQ(std::filesystem::exists("airports/learned/thirdparty/Aerosoft/EHAM.xml"), !r.report.empty());
    EXPECT_TRUE(r.report.empty() || logged(r.report)) << r.report;
    EXPECT_FALSE(g_standFileParamsChanged);
    std::filesystem::remove("airports/learned/thirdparty/Aerosoft/EHAM.xml");
  }

  // A handmade learned file is saved whole, with its quality factors.
  fixtures::StandFileLayout handmade;
  handmade.parameters = {{"airport_name", "Schiphol"}, {"handmade", "false"}, {"altitude", "-11"}};
  handmade.stands = {gf_standRow("H1", 0, 100), gf_standRow("H2", 90, 100)};
  handmade.stands[0].options = {R"(<opt reg="" airl="KLM" type="B738" day="1" hh="20" cs="KLM9" />)"};
  fixtures::writeStandFile("airports/learned/thirdparty/Aerosoft/EHAM.xml", handmade);
  open();
  ASSERT_TRUE(g_parkStandFileHandmade);
  g_standFileParamsChanged = true;
  lf_closeParkAirport();
  const std::string saved = gf_testReadAll("airports/learned/thirdparty/Aerosoft/EHAM.xml");
  EXPECT_TRUE(logged(" handmade \"airports/learned/thirdparty/Aerosoft/EHAM.xml\" saved"));
  EXPECT_NE(saved.find("\"Qf_real\""), std::string::npos);
  EXPECT_NE(saved.find("\"H2\""), std::string::npos);

  // A learned folder that cannot be made: reported, and the airport is closed all the same.
  std::filesystem::remove_all("airports/learned/thirdparty");
  gf_testWriteFile("airports/learned/thirdparty", "a file in the folder's place");
  open();
  learn(1, 1, 21);
  gf_removeParkedAc();
  EXPECT_TRUE(logged("saving \"airports/learned/thirdparty/Aerosoft/EHAM.xml\" did not succeed"));
  EXPECT_TRUE(g_parkAirportIcao.empty() && !g_parkStandsReady && g_parkStands.empty());
}

}  // namespace
}  // namespace traffictest
