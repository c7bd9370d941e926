// The window's handlers as a user meets them: an entry or a click, then the setting, the file,
// the status line, the log and the requests left for the worker.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "airports/airports.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "platform/headless.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "shell_test_helpers.h"

namespace {

using shelltest::ShellWindowTest;
using Action = std::function<void(ShellWindowTest&)>;

struct HandlerCase {
  const char* name;
  std::function<void()> before;  // settings and state before the action
  Action act;
  std::string status;            // the status line afterwards
  bool logged;                   // the status text also went to the log
  std::string entry, value;      // one parameters.xml entry afterwards
  std::function<bool()> after;   // values and requests afterwards
};

Action typed(GuiControl& field, std::u16string text) {
  return [&field, text](ShellWindowTest& t) { t.enter(field, text); };
}
Action clicked(GuiControl& control) {
  return [&control](ShellWindowTest& t) {
    EnableWindow(control.hwnd.load(), TRUE);
    t.click(control);
  };
}
bool enabled(const GuiControl& c) { return IsWindowEnabled(c.hwnd.load()) != FALSE; }
void nothing() {}
bool yes() { return true; }
const char* const kAbsent = "<absent>";
const std::string kLater = "Your liveries will be scanned at the next start of Zendrik_P3D, "
                           "recommended after you have add/removed AI aircraft models/liveries";

// clang-format off
const HandlerCase kCases[] = {
  {"radius above its maximum", nothing, typed(g_paramLateralRange, u"150"),
   "The new LATERAL_RANGE is 100", false, "LATERAL_RANGE", "100",
   [] { return g_trafficRadiusM.load() == 185200u && g_standFileParamsChanged.load(); }},
  {"same radius", nothing, typed(g_paramLateralRange, u"40"),
   "Same LATERAL_RANGE value 40, no changes made", true, "LATERAL_RANGE", kAbsent, yes},
  {"letters", nothing, typed(g_paramMatchingDepth, u"abc"), "invalid input: abc", true,
   "MATCHING_DEPTH", kAbsent, [] { return g_paramMatchingDepth.value() == 4; }},
  {"empty percentage", nothing, typed(g_paramParkingPercentage, u""),
   "The new parking_percentage is 0", false, "parking_percentage", kAbsent,
   [] { return g_paramParkingPercentage.value() == 0; }},
  {"depth raised", [] { g_paramMatchingDepth.setValue(2); }, typed(g_paramMatchingDepth, u" 4"),
   "The new MATCHING_DEPTH is 4", false, "MATCHING_DEPTH", "4",
   [] { return g_clearNoMatchesRequested.load(); }},
  {"max live", nothing, typed(g_paramMaxLive, u"50"), "The new MAX_LIVE is 50", false,
   "MAX_LIVE", "50", [] { return g_userMaxLive == 50 && g_enforceMaxLiveRequested.load(); }},
  {"max fit 7.3", [] { g_parkStandsReady = true, g_reportSeconds = 31; },
   typed(g_paramMaxFitFl, u"7.3"), "Zendrik_P3D will respond in 14 seconds ...", false,
   "MAX_FIT", "14", [] { return g_paramMaxFitFl.value() == 7.5f && g_parkAdjustRequested; }},
  {"max fit 0.2", [] { g_parkStandsReady = true, g_reportSeconds = 45; },
   typed(g_paramMaxFitFl, u"0.2"), "Zendrik_P3D will respond in 15 seconds ...", false,
   "MAX_FIT", "0", [] { return g_paramMaxFitFl.value() == 0.5f; }},
  {"callsign of 3", nothing, typed(g_paramBlockCallsign, u"abc"), "callsign \"abc\" is not valid",
   true, "BLOCK_CALLSIGN", kAbsent, [] { return !g_blockRequested; }},
  {"callsign of 9", nothing, typed(g_paramBlockCallsign, u"klm123456"),
   "callsign \"klm123456\" is not valid", true, "BLOCK_CALLSIGN", kAbsent,
   [] { return !g_blockRequested; }},
  {"callsign blocked", nothing, typed(g_paramBlockCallsign, u"dlh4"),
   "live aircraft with callsign \"DLH4\" will be blocked", true, "BLOCK_CALLSIGN", "DLH4",
   [] { return g_blockRequested && enabled(g_paramUnblock); }},
  {"unblock", [] { g_paramBlockCallsign.setValue("DLH4"); }, clicked(g_paramUnblock),
   "no more blocking of live aircraft \"DLH4\"", true, "BLOCK_CALLSIGN", "",
   [] { return g_blockRequested && !enabled(g_paramUnblock); }},
  {"destination of 3", nothing, typed(g_paramDestination, u"EHA"),
   "destination \"EHA\" is not valid", true, "DESTINATION", kAbsent,
   [] { return !gf_takeDestinationRequest(); }},
  {"destination", nothing, typed(g_paramDestination, u"eham"), "", false, "DESTINATION", kAbsent,
   [] { return gf_takeDestinationRequest() == "EHAM"; }},
  {"rescan before RealTraffic", [] { g_paramScanLiveries.setValue(false), g_rtNotConnectedYet = true; },
   clicked(g_paramScanLiveries), "Your liveries will be scanned", true, "SCAN_LIVERIES", "true",
   [] { return g_exitReason == 3u && g_restartDelaySec == 2u && g_clearLiveryTablesRequested; }},
  {"rescan later", [] { g_paramScanLiveries.setValue(false); }, clicked(g_paramScanLiveries),
   kLater, false, "SCAN_LIVERIES", "true", [] { return !g_stopRequested; }},
  {"a box twice", nothing,
   [](ShellWindowTest& t) { t.click(g_paramLigPrioritize), t.click(g_paramLigPrioritize); }, "",
   false, "LIG_PRIORITIZE", "false", [] { return !g_paramLigPrioritize.value(); }},
  {"nav lights", nothing, clicked(g_paramNavLightsWhileParked), "", false,
   "NAV_LIGHTS_WHILE_PARKED", "false", [] { return g_navLightsRequested.load(); }},
  {"auto range on", [] { g_paramAutoRange.setValue(false), g_paramLateralRange.setValue(30); },
   clicked(g_paramAutoRange), "", false, "AUTO_RANGE", "true",
   [] { return g_lastManualRange == 30 && g_autoRangeRequested; }},
  {"auto range off", [] { g_lastManualRange = 250; }, clicked(g_paramAutoRange), "", false,
   "AUTO_RANGE", "false",
   [] { return g_paramLateralRange.value() == 100 && g_trafficRadiusM == 185200u &&
               enabled(g_paramLateralRange) && !enabled(g_paramAutoRangeAboveHeight); }},
  {"stay on top", nothing, clicked(g_paramAlwaysOnTop), "Zendrik_P3D's window will remain visible",
   false, "ALWAYS_ON_TOP", "true", [] { return platform::gf_isTopmost(g_hWnd.load()); }},
  {"flush static", nothing, clicked(g_paramFlushStatic),
   "All static parked aircraft will be removed ...", false, "INITIAL_LOAD_ONLY", kAbsent,
   [] { return g_flushStaticRequested && !enabled(g_paramFlushStatic); }},
  {"re-read", nothing, clicked(g_paramReread), "", false, "DESTINATION", kAbsent,
   [] { return g_rereadRequested && !enabled(g_paramReread) && !enabled(g_paramDestination); }},
};
// clang-format on

TEST_F(ShellWindowTest, EntriesAndClicks) {
  for (const HandlerCase& c : kCases) {
    SCOPED_TRACE(c.name);
    recreate();
    c.before();
    syncBoxes();
    c.act(*this);
    EXPECT_EQ(status(), c.status);
    if (!c.status.empty()) {
      EXPECT_EQ(logHas(c.status), c.logged);
    }
    EXPECT_EQ(fileEntry(c.entry), c.value);
    EXPECT_TRUE(c.after());
  }
  // A rejected entry disappears: the field shows the setting again.
  enter(g_paramLateralRange, u"abc");
  EXPECT_EQ(lf_getTextFromId(g_paramLateralRange.controlId), "40");
}

// The install path typed after a detection error restarts the program, even though the run
// already stopped with SYSTEM ERROR, but never against a close of the window.
TEST_F(ShellWindowTest, InstallPathRestarts) {
  enter(g_paramAllInstallPath, u"/no/such/folder");
  EXPECT_EQ(status(), "This install path does not exist: /no/such/folder");
  const std::string path = folder_.path().string();
  for (const bool closed : {false, true}) {
    g_mainWindowState.storeText(&MainWindowState::errorText, "151: No P3D", kStatusArea);
    g_stopRequested = true, g_exitReason = 7, g_restartDelaySec = 0, g_exitRequested = closed;
    enter(g_paramAllInstallPath, std::u16string(path.begin(), path.end()));
    EXPECT_EQ(status(), "Install path exists, Zendrik_P3D will restart");
    EXPECT_EQ(fileEntry("SIM_INSTALL_PATH"), path);
    EXPECT_EQ(g_exitReason.load(), closed ? 7u : 3u);
    EXPECT_EQ(g_restartDelaySec.load(), closed ? 0u : 3u);
  }
}

// The worker's side of a destination: an unknown code, then one in the airport list.
TEST_F(ShellWindowTest, DestinationLookedUpByTheWorker) {
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
  EXPECT_EQ(lf_getTextFromId(g_paramDestination.controlId), "EHAM");
}

}  // namespace
