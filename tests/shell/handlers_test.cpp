// The window's handlers as a user meets them: an entry or a click, then the setting, the file,
// the status line, the log and the requests left for the worker.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "platform/headless.h"
#include "shell/intake/intake.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;

struct HandlerCase {
  const char* name;
  std::function<void()> before;              // state before the action
  std::function<void(ShellWindowTest&)> act;
  std::string status;                        // the status line afterwards
  std::string logLine;                       // a line the log must hold ("" none)
  std::vector<std::pair<std::string, std::string>> file;  // parameters.xml entries
  std::function<bool()> after;               // values and requests afterwards
};

using HandlersTest = ShellWindowTest;

auto enterText(GuiControl& field, std::u16string text) {
  return [&field, text](ShellWindowTest& t) { t.enter(field, text); };
}
auto clickOn(GuiControl& control) {
  return [&control](ShellWindowTest& t) { t.click(control); };
}
void standsReady() { g_parkStandsReady = true; }
bool enabled(const GuiControl& c) { return IsWindowEnabled(c.hwnd.load()) != FALSE; }

const char* const kAbsent = "<absent>";

std::vector<HandlerCase> cases() {
  return {
      {"radius above its maximum", [] { g_paramLateralRange.setValue(40); },
       enterText(g_paramLateralRange, u"150"), "The new LATERAL_RANGE is 100", "",
       {{"LATERAL_RANGE", "100"}},
       [] {
         return g_trafficRadiusNm.load() == 100.0 && g_trafficRadiusM.load() == 185200u &&
                g_standFileParamsChanged.load();
       }},
      {"same radius", [] { g_paramLateralRange.setValue(40); },
       enterText(g_paramLateralRange, u"40"), "Same LATERAL_RANGE value 40, no changes made",
       "Same LATERAL_RANGE value 40, no changes made", {{"LATERAL_RANGE", kAbsent}},
       [] { return !g_standFileParamsChanged.load(); }},
      {"letters in a number field", [] {}, enterText(g_paramMatchingDepth, u"abc"),
       "invalid input: abc", "invalid input: abc", {{"MATCHING_DEPTH", kAbsent}},
       [] { return g_paramMatchingDepth.value() == 4; }},
      {"empty percentage", [] {}, enterText(g_paramParkingPercentage, u""),
       "The new parking_percentage is 0", "", {{"parking_percentage", kAbsent}},
       [] { return g_paramParkingPercentage.value() == 0; }},
      {"matching depth raised", [] { g_paramMatchingDepth.setValue(2); },
       enterText(g_paramMatchingDepth, u" 4"), "The new MATCHING_DEPTH is 4", "",
       {{"MATCHING_DEPTH", "4"}}, [] { return g_clearNoMatchesRequested.load(); }},
      {"matching depth lowered", [] {}, enterText(g_paramMatchingDepth, u"2x"),
       "The new MATCHING_DEPTH is 2", "", {{"MATCHING_DEPTH", "2"}},
       [] { return !g_clearNoMatchesRequested.load(); }},
      {"max live outside a park airport", [] {}, enterText(g_paramMaxLive, u"50"),
       "The new MAX_LIVE is 50", "", {{"MAX_LIVE", "50"}},
       [] { return g_userMaxLive.load() == 50 && g_enforceMaxLiveRequested.load(); }},
      {"max fit at 7.3 hours", [] { standsReady(), g_reportSeconds = 31; },
       enterText(g_paramMaxFitFl, u"7.3"), "Zendrik_P3D will respond in 14 seconds ...", "",
       {{"MAX_FIT", "14"}},
       [] { return g_paramMaxFitFl.value() == 7.5f && g_parkAdjustRequested.load(); }},
      {"max fit at 0.2 hours", [] { standsReady(), g_reportSeconds = 45; },
       enterText(g_paramMaxFitFl, u"0.2"), "Zendrik_P3D will respond in 15 seconds ...", "",
       {{"MAX_FIT", "0"}}, [] { return g_paramMaxFitFl.value() == 0.5f; }},
      {"max fit without stands", [] {}, enterText(g_paramMaxFitFl, u"7.3"), "", "",
       {{"MAX_FIT", kAbsent}}, [] { return g_paramMaxFitFl.value() == 24.0f; }},
      {"callsign too short", [] {}, enterText(g_paramBlockCallsign, u"abc"),
       "callsign \"abc\" is not valid", "callsign \"abc\" is not valid",
       {{"BLOCK_CALLSIGN", kAbsent}}, [] { return !g_blockRequested.load(); }},
      {"callsign too long", [] {}, enterText(g_paramBlockCallsign, u"ABCDEFGHI"),
       "callsign \"ABCDEFGHI\" is not valid", "", {{"BLOCK_CALLSIGN", kAbsent}}, [] { return true; }},
      {"callsign blocked", [] {}, enterText(g_paramBlockCallsign, u"dlh4"),
       "live aircraft with callsign \"DLH4\" will be blocked",
       "live aircraft with callsign \"DLH4\" will be blocked", {{"BLOCK_CALLSIGN", "DLH4"}},
       [] { return g_blockRequested.load() && enabled(g_paramUnblock); }},
      {"unblock with nothing blocked", [] { EnableWindow(g_paramUnblock.hwnd.load(), TRUE); },
       clickOn(g_paramUnblock), "Nothing to block or unblock...", "", {},
       [] { return !g_blockRequested.load(); }},
      {"unblock", [] {
         g_paramBlockCallsign.setValue("DLH4");
         EnableWindow(g_paramUnblock.hwnd.load(), TRUE);
       },
       clickOn(g_paramUnblock), "no more blocking of live aircraft \"DLH4\"", "",
       {{"BLOCK_CALLSIGN", ""}}, [] { return g_blockRequested.load() && !enabled(g_paramUnblock); }},
      {"destination of three letters", [] {}, enterText(g_paramDestination, u"EHA"),
       "destination \"EHA\" is not valid", "", {{"DESTINATION", kAbsent}},
       [] { return !gf_takeDestinationRequest(); }},
      {"destination handed to the worker", [] {}, enterText(g_paramDestination, u"eham"), "", "",
       {{"DESTINATION", kAbsent}}, [] { return gf_takeDestinationRequest() == "EHAM"; }},
      {"liveries rescan before RealTraffic",
       [] { g_paramScanLiveries.setValue(false), g_rtNotConnectedYet = true; },
       clickOn(g_paramScanLiveries), "Your liveries will be scanned",
       "Your liveries will be scanned", {{"SCAN_LIVERIES", "true"}},
       [] {
         return g_stopRequested.load() && g_exitReason.load() == 3u &&
                g_restartDelaySec.load() == 2u && g_clearLiveryTablesRequested.load();
       }},
      {"liveries rescan later", [] { g_paramScanLiveries.setValue(false); },
       clickOn(g_paramScanLiveries),
       "Your liveries will be scanned at the next start of Zendrik_P3D, recommended after you "
       "have add/removed AI aircraft models/liveries",
       "", {{"SCAN_LIVERIES", "true"}}, [] { return !g_stopRequested.load(); }},
      {"a box clicked twice", [] {}, [](ShellWindowTest& t) {
         clickOn(g_paramLigPrioritize)(t);
         clickOn(g_paramLigPrioritize)(t);
       },
       "", "", {{"LIG_PRIORITIZE", "false"}}, [] { return !g_paramLigPrioritize.value(); }},
      {"nav lights", [] {}, clickOn(g_paramNavLightsWhileParked), "", "",
       {{"NAV_LIGHTS_WHILE_PARKED", "false"}}, [] { return g_navLightsRequested.load(); }},
      {"auto range on", [] { g_paramAutoRange.setValue(false), g_paramLateralRange.setValue(30); },
       clickOn(g_paramAutoRange), "", "", {{"AUTO_RANGE", "true"}},
       [] { return g_lastManualRange.load() == 30 && g_autoRangeRequested.load(); }},
      {"auto range off", [] { g_lastManualRange = 250; }, clickOn(g_paramAutoRange), "", "",
       {{"AUTO_RANGE", "false"}},
       [] {
         return g_paramLateralRange.value() == 100 && g_trafficRadiusM.load() == 185200u &&
                enabled(g_paramLateralRange) && !enabled(g_paramAutoRangeAboveHeight);
       }},
      {"stay on top", [] {}, clickOn(g_paramAlwaysOnTop),
       "Zendrik_P3D's window will remain visible", "", {{"ALWAYS_ON_TOP", "true"}},
       [] { return platform::gf_isTopmost(g_hWnd.load()); }},
      {"flush static", [] { EnableWindow(g_paramFlushStatic.hwnd.load(), TRUE); },
       clickOn(g_paramFlushStatic), "All static parked aircraft will be removed ...", "", {},
       [] { return g_flushStaticRequested.load() && !enabled(g_paramFlushStatic); }},
      {"re-read", [] {
         EnableWindow(g_paramReread.hwnd.load(), TRUE);
         EnableWindow(g_paramDestination.hwnd.load(), TRUE);
       },
       clickOn(g_paramReread), "", "", {},
       [] {
         return g_rereadRequested.load() && !enabled(g_paramReread) &&
                !enabled(g_paramDestination);
       }},
  };
}

TEST_F(HandlersTest, EntriesAndClicks) {
  for (const HandlerCase& c : cases()) {
    SCOPED_TRACE(c.name);
    recreate();
    c.before();
    syncBoxes();
    c.act(*this);
    EXPECT_EQ(status(), c.status);
    if (!c.logLine.empty()) {
      EXPECT_TRUE(logHas(c.logLine));
    }
    for (const auto& [name, value] : c.file) EXPECT_EQ(fileEntry(name), value) << name;
    EXPECT_TRUE(c.after());
  }
}

// A rejected entry disappears from the field: it shows the setting again.
TEST_F(HandlersTest, FieldsShowTheSettingAfterEnter) {
  enter(g_paramMatchingDepth, u"abc");
  EXPECT_EQ(fieldText(g_paramMatchingDepth), "4");
  enter(g_paramLateralRange, u"150");
  EXPECT_EQ(fieldText(g_paramLateralRange), "100");
  g_paramBlockCallsign.setValue("KLM1");
  enter(g_paramBlockCallsign, u"abc");
  EXPECT_EQ(fieldText(g_paramBlockCallsign), "KLM1");
}

// The install path typed after a detection error: it restarts the program even though the run
// already stopped with SYSTEM ERROR, but never against a close of the window.
TEST_F(HandlersTest, InstallPathRestarts) {
  enter(g_paramAllInstallPath, u"/no/such/folder");
  EXPECT_EQ(status(), "This install path does not exist: /no/such/folder");
  EXPECT_FALSE(g_stopRequested.load());

  g_mainWindowState.storeText(&MainWindowState::errorText, "151: No P3D", kStatusArea);
  g_stopRequested = true;
  g_exitReason = 7;
  const std::string path = folder_.path().string();
  enter(g_paramAllInstallPath, std::u16string(path.begin(), path.end()));
  EXPECT_EQ(status(), "Install path exists, Zendrik_P3D will restart");
  EXPECT_EQ(fileEntry("SIM_INSTALL_PATH"), path);
  EXPECT_EQ(g_exitReason.load(), 3u);
  EXPECT_EQ(g_restartDelaySec.load(), 3u);

  g_exitReason = 7;
  g_exitRequested = true;
  enter(g_paramAllInstallPath, std::u16string(path.begin(), path.end()));
  EXPECT_EQ(g_exitReason.load(), 7u);
}

// The worker's side of a destination: an unknown code, then one in the airport list.
TEST_F(HandlersTest, DestinationLookedUpByTheWorker) {
  EnableWindow(g_paramReread.hwnd.load(), TRUE);
  gf_requestDestination("EHAM");
  gf_applyDestinationRequest();
  EXPECT_EQ(status(), "destination \"EHAM\" is unknown ...");
  const std::vector<AirportEntry> saved = g_airports;
  g_airports = {AirportEntry{"EHAM", "AMS", 52.31, 4.76, -11.0}};
  gf_requestDestination("EHAM");
  gf_applyDestinationRequest();
  g_airports = saved;
  EXPECT_EQ(status(), "New destination: EHAM");
  EXPECT_EQ(fileEntry("DESTINATION"), "EHAM");
  EXPECT_EQ(fieldText(g_paramDestination), "EHAM");
  EXPECT_FALSE(enabled(g_paramReread));
}

}  // namespace
