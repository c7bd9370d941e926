// The matching tables built from an in-memory catalogue: passenger and cargo split per airline
// and per type, stored titles shared as views, the category summaries with their switch-offs and
// type lines, the queries, and the category check boxes. Their clearing is run on the processed
// world in matching_e2e_test.cpp.

#include "liveries/matching_tables.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "foundation/parameters.h"
#include "liveries/liveries_test_support.h"
#include "platform/headless.h"
#include "platform/win32.h"

namespace {

using liveries_test::contains;
using liveries_test::fileText;

Livery liv(const std::string& airl, const std::string& type, const std::string& title,
           bool cargo = false) {
  return liveries_test::liv(airl, type, title, "", cargo);
}

// True when the view points into one of the titles that g_liveryAirlines owns.
bool isStoredView(std::string_view view) {
  for (const auto& [airline, types] : g_liveryAirlines)
    for (const auto& [type, entries] : types)
      for (const LiveryEntry& entry : entries)
        if (view.data() == entry.title.data() && view.size() == entry.title.size()) return true;
  return false;
}

class MatchingTables : public liveries_test::MatchingTest {
 protected:
  void SetUp() override {
    fixtures::DbaseContent db;
    db.large = {"A320", "B738"};
    db.heavy = {"B744"};
    db.buzjet = {"C56X"};
    db.rotorcraft = {"EC35"};
    useDbase(db);
  }
};

TEST_F(MatchingTables, PassengerAndCargoAreSplitPerAirlineAndType) {
  build({
      liv("DLH", "A320", "DLH b"),
      liv("DLH", "A320", "DLH a"),
      liv("DLH", "A320", "DLH cargo", true),
      liv("BOX", "B744", "AeroLogic", true),
      liv("ZZZ", "A320", "Generic A320"),
      liv("ZZZ", "B738", "Generic 738"),
      liv("ZZZ", "B738", "Generic 738 freighter", true),
  });
  ASSERT_EQ(g_liveryAirlines.size(), 3u);
  const auto& dlh = g_liveryAirlines.at("DLH").at("A320");
  ASSERT_EQ(dlh.size(), 3u);  // title order
  EXPECT_EQ(dlh[0].title, "DLH a");
  EXPECT_EQ(dlh[1].title, "DLH b");
  EXPECT_TRUE(dlh[2].cargo);

  EXPECT_EQ(g_airlineLiveries[0].at("DLH").at("A320"), (TitleViews{"DLH a", "DLH b"}));
  EXPECT_EQ(g_airlineLiveries[1].at("DLH").at("A320"), (TitleViews{"DLH cargo"}));
  EXPECT_FALSE(g_airlineLiveries[0].contains("BOX"));  // cargo-only airline
  EXPECT_TRUE(g_airlineLiveries[1].contains("BOX"));
  EXPECT_FALSE(g_airlineLiveries[1].at("ZZZ").contains("A320"));

  EXPECT_EQ(g_paxTypeLiveries.at("A320").size(), 3u);  // generic included
  EXPECT_EQ(g_cargoTypeLiveries.at("A320").size(), 1u);
  EXPECT_FALSE(g_cargoTypeLiveries.contains("EC35"));
  EXPECT_FALSE(g_paxTypeLiveries.contains("B744"));  // cargo-only type
  EXPECT_TRUE(gf_typeHasLiveries("B744"));
  EXPECT_FALSE(gf_typeHasLiveries("EC35"));
  EXPECT_TRUE(gf_airlineHasType("ZZZ", "B738"));
  EXPECT_FALSE(gf_airlineHasType("DLH", "B738"));
  EXPECT_FALSE(gf_airlineHasType("XXX", "A320"));

  // Every view of every table is a view of a stored title.
  for (const auto& kind : g_airlineLiveries)
    for (const auto& [airline, types] : kind)
      for (const auto& [type, titles] : types)
        for (std::string_view title : titles) EXPECT_TRUE(isStoredView(title)) << title;
  for (const TypeTitles* table : {&g_paxTypeLiveries, &g_cargoTypeLiveries})
    for (const auto& [type, titles] : *table)
      for (std::string_view title : titles) EXPECT_TRUE(isStoredView(title)) << title;

  EXPECT_TRUE(isStoredView(gf_storedTitle("Generic 738")));
  EXPECT_TRUE(gf_storedTitle("Not installed").empty());
  std::vector<std::string> codes = lf_liveryAirlineCodes();
  std::sort(codes.begin(), codes.end());
  EXPECT_EQ(codes, (std::vector<std::string>{"BOX", "DLH", "ZZZ"}));
}

TEST_F(MatchingTables, CategoryWithoutLiveriesSwitchesItsSettingOff) {
  build({liv("DLH", "A320", "DLH a"), liv("BOX", "B744", "Box", true)});
  const std::string log = env_.log();
  EXPECT_TRUE(contains(log, "Category Light: No livery found\n"));
  EXPECT_TRUE(contains(log,
                       "LIGHT_AIRCRAFT temporary switched off because you do not have light "
                       "aircraft installed\n"));
  EXPECT_TRUE(contains(log,
                       "HELICOPTERS temporary switched off because you do not have "
                       "Helicopters installed\n"));
  EXPECT_TRUE(contains(log, "Category Buzjets: No livery found\n"));
  EXPECT_FALSE(contains(log, "BUZJET"));
  EXPECT_TRUE(contains(log, "Category Heavy: 0 pax liveries and 1 cargo liverie\n  B744\n"));
  EXPECT_TRUE(contains(log, "No generic liveries\n"));
  EXPECT_FALSE(g_paramLightAircraft.value());
  EXPECT_FALSE(g_paramHelicopters.value());
  // Saved, so the next start keeps them off.
  const std::string saved = fileText(env_.path() / "parameters.xml");
  EXPECT_TRUE(contains(saved, "LIGHT_AIRCRAFT")) << saved;
  EXPECT_TRUE(g_lightTypes.empty());
}

// Types are listed twenty to a line; exactly twenty leave no empty rest line.
TEST_F(MatchingTables, CategoryWithLiveriesKeepsItsSettingAndListsTypes) {
  g_paramLightAircraft.setValue(false);  // the user's choice is left alone
  std::string first = "  ";
  for (int i = 0; i < 20; ++i) first += fmt::format("L{:03}{}", i, i < 19 ? "," : "\n");
  for (int count : {20, 25}) {
    std::vector<Livery> liveries;
    for (int i = 0; i < count; ++i)
      liveries.push_back(liv("ZZZ", fmt::format("L{:03}", i), fmt::format("Light {}", i)));
    gf_clearLiveryTables();
    build(liveries);
    ASSERT_EQ(g_lightTypes.size(), static_cast<std::size_t>(count));
  }
  const std::string log = env_.log();
  EXPECT_TRUE(contains(log, "Category Light: 20 pax liveries\n" + first + "Category Buzjets"));
  EXPECT_TRUE(
      contains(log, "Category Light: 25 pax liveries\n" + first + "  L020,L021,L022,L023,L024\n"));
  EXPECT_TRUE(contains(log, "25 models have a generic livery\n" + first));
  EXPECT_FALSE(g_paramLightAircraft.value());
  EXPECT_EQ(g_lightTypes.front(), "L000");
  EXPECT_TRUE(std::is_sorted(g_lightTypes.begin(), g_lightTypes.end()));
}

LRESULT lf_parentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcW(window, message, wParam, lParam);
}

// The three category check boxes on a headless window: disabled without liveries, enabled with.
TEST_F(MatchingTables, CategoryCheckBoxesFollowTheInstalledLiveries) {
  platform::gf_setBackendChoice(platform::BackendChoice::headless);
  WNDCLASSEXW windowClass{};
  windowClass.cbSize = sizeof windowClass;
  windowClass.lpfnWndProc = &lf_parentProc;
  windowClass.lpszClassName = u"ZendrikMatchingTest";
  RegisterClassExW(&windowClass);
  HWND parent = CreateWindowExW(0, u"ZendrikMatchingTest", u"matching", WS_OVERLAPPEDWINDOW, 0, 0,
                                880, 516, nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(parent, nullptr);
  CheckBoxParameter* boxes[] = {&g_paramLightAircraft, &g_paramHighPerfAircraft,
                                &g_paramHelicopters};
  int x = 30;
  for (CheckBoxParameter* box : boxes) box->createCheckBox(parent, nullptr, x += 40);
  EnableWindow(g_paramHelicopters.hwnd.load(), FALSE);

  build({liv("ZZZ", "A320", "Bus"), liv("ZZZ", "EC35", "Heli")});
  EXPECT_FALSE(IsWindowEnabled(g_paramLightAircraft.hwnd.load()));
  EXPECT_FALSE(IsWindowEnabled(g_paramHighPerfAircraft.hwnd.load()));
  EXPECT_TRUE(IsWindowEnabled(g_paramHelicopters.hwnd.load()));
  EXPECT_TRUE(g_paramHelicopters.value());

  for (CheckBoxParameter* box : boxes) box->hwnd = nullptr;
  DestroyWindow(parent);
  platform::gf_pumpMessages();
}

}  // namespace
