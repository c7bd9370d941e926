// The worker: the start-up's order and its restart differences (a stand-file swap a kill left
// half way is recovered first), the program-folder check, the controls it enables, and the
// closing sequence for every exit reason with its mended cases.
#include <gtest/gtest.h>

#include "foundation/file_names.h"
#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_scan.h"
#include "liveries/livery_matching.h"
#include "liveries/livery_processing.h"
#include "liveries/matching_tables.h"
#include "shell/shell.h"
#include "shell/shell_state.h"
#include "intake/intake.h"
#include "worker_test_helpers.h"

namespace shelltest {
namespace {

using Calls = std::vector<std::string>;

TEST_F(WorkerTest, StartUpRunsInOrderAndARestartSkipsUpdateAndDatabase) {
  g_paramScanAirports.setValue(true);
  gf_saveBoolParameter(g_paramScanAirports);
  runWorker();
  EXPECT_EQ(calls_, (Calls{"checkNewVersion", "readDbase", "detectP3D", "readAirports",
                           "liveriesScan", "scanAirports", "readMyParkAirports", "run"}));
  EXPECT_EQ(posted(kQuitMessage), 1);
  EXPECT_TRUE(logHas("RealTraffic not detected at this PC"));
  EXPECT_TRUE(logHas("Exiting: NOT YET SET"));

  // A restart: parameters.xml, RealTraffic and the airport list again, no update check and no
  // database.
  calls_.clear();
  std::filesystem::create_directories(folder_.path() / "Roaming" / "InsideSystems");
  gf_testWriteFile(folder_.path() / "Roaming" / "InsideSystems" / "RealTraffic.jar", "jar");
  g_paramScanAirports.setValue(false);
  gf_saveBoolParameter(g_paramScanAirports);
  g_paramScanAirports.setValue(true);  // the file says off: the restart must read it again
  // A kill ended a swap of stand files half way: the restart, which does not scan, puts the
  // previous files back before anything reads them.
  const std::filesystem::path old = "airports/scan_old/my_ORBX/LOWI.xml";
  std::filesystem::create_directories(old.parent_path());
  gf_testWriteFile(old, "earlier LOWI");
  std::string atRead;
  g_workerSeams.readAirports = [&] {
    calls_.push_back("readAirports");
    atRead = gf_testReadAll(g_myORBXDir / "LOWI.xml");
  };
  g_restarting = true;
  runWorker();
  EXPECT_EQ(calls_, (Calls{"detectP3D", "readAirports", "liveriesScan", "readMyParkAirports",
                           "run"}));
  EXPECT_EQ(atRead, "earlier LOWI");
  EXPECT_FALSE(std::filesystem::exists("airports/scan_old"));
  EXPECT_TRUE(g_rtOnThisPc.load());
  g_rtOnThisPc = false;
}

TEST_F(WorkerTest, AStopDuringTheScansSkipsTheRunAndSetsBothRequests) {
  g_workerSeams.liveriesScan = [this] {
    calls_.push_back("liveriesScan");
    gf_requestRestart(2);
  };
  runWorker();
  EXPECT_FALSE(called("readMyParkAirports"));
  EXPECT_FALSE(called("run"));
  EXPECT_EQ(posted(kStartWorkerMessage), 1);  // NEW SETTINGS still restarts
  EXPECT_TRUE(g_restarting.load());
}

TEST_F(WorkerTest, AMissingCatalogueTurnsTheLiveryScanOnBeforeIt) {
  g_paramScanLiveries.setValue(false);
  gf_saveBoolParameter(g_paramScanLiveries);
  bool onAtScan = false;
  g_workerSeams.liveriesScan = [&] { onAtScan = g_paramScanLiveries.value(); };
  runWorker();
  EXPECT_TRUE(onAtScan);
  EXPECT_EQ(fileEntry("SCAN_LIVERIES"), "true");
  EXPECT_EQ(SendMessageW(g_paramScanLiveries.hwnd.load(), BM_GETCHECK, 0, 0), BST_CHECKED);
  EXPECT_TRUE(logHas("File output/LiveriesScanned.xml is gone, rescan liveries"));
}

TEST_F(WorkerTest, WithoutDocsTheErrorStaysUntilTheClose) {
  std::filesystem::remove(folder_.path() / "docs");
  onWait_ = [](int index) {
    if (index == 3) gf_requestClose();
  };
  runWorker();
  EXPECT_TRUE(calls_.empty());
  const std::string error = "41: Zendrik_P3D must be run from the Zendrik_P3D folder!";
  ASSERT_GE(errors_.size(), 4u);
  for (const std::string& shown : errors_) EXPECT_EQ(shown, error);
  EXPECT_TRUE(logHas("Error " + error));
  EXPECT_EQ(posted(kQuitMessage), 1);
}

TEST_F(WorkerTest, AProgramFolderThatCannotBeWrittenIsNamed) {
  UnwritableFolder locked(folder_.path());
  if (!locked.made()) GTEST_SKIP() << "no folder here can be made unwritable";
  onWait_ = [](int) { gf_requestClose(); };
  runWorker();
  EXPECT_TRUE(calls_.empty());
  const std::string error =
      "44: The program folder " + folder_.path().string() + " cannot be written: ";
  ASSERT_FALSE(errors_.empty());
  EXPECT_EQ(errors_.front().substr(0, error.size()), error);
  EXPECT_TRUE(logHas("Error " + errors_.front()));
}

TEST_F(WorkerTest, StartUpEnablesWhatTheRunMayUse) {
  g_paramBlockCallsign.setValue("DLH4");
  gf_saveStringParameter(g_paramBlockCallsign);
  lf_startup();
  const bool autoRange = g_paramAutoRange.value();
  const std::vector<GuiControl*> disabled = {
      &g_paramLearnSoft,          &g_paramDestination, &g_paramReread,
      &g_paramParkingPercentage,  &g_paramMaxFitFl,    &g_paramFlushStatic,
      autoRange ? static_cast<GuiControl*>(&g_paramLateralRange) : &g_paramAutoRangeAboveHeight};
  for (const ExpectedControl& c : expectedControls()) {
    const bool off = std::find(disabled.begin(), disabled.end(), c.control) != disabled.end();
    EXPECT_EQ(IsWindowEnabled(c.control->hwnd.load()) == FALSE, off) << c.control->controlId;
  }
  EXPECT_EQ(g_paramParkingPercentage.value(), 30);
  EXPECT_EQ(fileEntry("parking_percentage"), "<absent>");
  EXPECT_FLOAT_EQ(g_paramMaxFitFl.value(), g_paramMaxFit.value() * 0.5f + 0.5f);
}

// One livery folder with one installed DLH 737-800.
void lf_writeLiveryFolder(const std::filesystem::path& folder) {
  std::filesystem::create_directories(folder / "model");
  std::filesystem::create_directories(folder / "texture");
  gf_testWriteFile(folder / "x.air", "air");
  gf_testWriteFile(folder / "aircraft.cfg",
                   "[General]\natc_model=B738\n\n[fltsim.0]\ntitle=Rescan DLH 737\nsim=x\n"
                   "model=\ntexture=\natc_parking_codes=DLH\n");
}

std::string lf_liveryFor(const char* airline, const char* type) {
  LiveryTarget target;
  target.airline = airline;
  target.type = type;
  gf_matchLivery(target);
  return std::string(target.livery);
}

// "Scan for liveries" ticked before RealTraffic connects: the run ends, the closing sequence
// empties the tables and the restart scans and builds them again.
TEST_F(WorkerTest, ARescanBeforeRealTrafficMatchesLiveriesAfterTheRestart) {
  platform_test::EnvGuard env;
  env.set("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/");  // no regcode list: refused at once
  g_dbaseIcaoAirlines = {"DLH"};
  g_dbaseTypes = {"B738"};
  lf_writeLiveryFolder(folder_.path() / "AI" / "B738");
  g_paramLigAutomatic.setValue(false);
  gf_saveBoolParameter(g_paramLigAutomatic);
  g_paramLfolder[0].setValue((folder_.path() / "AI").string());
  gf_saveStringParameter(g_paramLfolder[0]);
  g_workerSeams.liveriesScan = gf_liveriesScan;
  runBody_ = [this] {
    ASSERT_EQ(lf_liveryFor("DLH", "B738"), "Rescan DLH 737");
    g_rtNotConnectedYet = true;
    click(g_paramScanLiveries);
  };
  runWorker();
  ASSERT_EQ(posts_, std::vector<UINT>{kStartWorkerMessage});

  runBody_ = nullptr;
  runWorker();  // the restart
  EXPECT_EQ(lf_liveryFor("DLH", "B738"), "Rescan DLH 737");
  EXPECT_FALSE(logHas("Processing scanned liveries skipped; already done in previous start-up"));
  gf_clearLiveryTables();
  g_liveriesScanDone = false;
  g_dbaseIcaoAirlines.clear();
  g_dbaseTypes.clear();
}

// The closing sequence per exit reason: what it logs, counts down, switches and posts.
struct ReasonCase {
  std::uint32_t reason;
  std::uint32_t delay;
  const char* text;
  UINT message;
  bool scansOff;
};

class ClosingTest : public WorkerTest, public ::testing::WithParamInterface<ReasonCase> {};

TEST_P(ClosingTest, EndsTheRunAsTheReasonSays) {
  const ReasonCase c = GetParam();
  for (CheckBoxParameter* scan : {&g_paramScanLiveries, &g_paramScanAirports}) {
    scan->setValue(true);
    gf_saveBoolParameter(*scan);
  }
  onWait_ = [](int) { gf_requestExit(); };  // the user closes while SYSTEM ERROR waits
  g_simThread = std::jthread(g_workerSeams.simClient);
  // The lamps as a running flight with an unknown user model left them.
  g_mainWindowState.simRunningLamp = 1;
  g_mainWindowState.userAcModelKnown = 0;
  gf_forceStop(c.reason, c.delay);
  lf_closingDown();
  EXPECT_TRUE(logHas(std::string("Exiting: ") + c.text));
  EXPECT_EQ(posts_, std::vector<UINT>{c.message});
  EXPECT_FALSE(g_simThread.joinable());
  const std::string scans = c.scansOff ? "false" : "true";
  EXPECT_EQ(fileEntry("SCAN_LIVERIES"), scans);
  EXPECT_EQ(fileEntry("SCAN_AIRPORTS"), scans);
  const bool restart = c.message == kStartWorkerMessage;
  EXPECT_EQ(g_restarting.load(), restart);
  if (restart) {
    EXPECT_FALSE(g_stopRequested.load());  // the run reset
    EXPECT_EQ(g_exitReason.load(), 0u);
    EXPECT_EQ(g_mainWindowState.simRunningLamp.load(), 0);
    EXPECT_EQ(g_mainWindowState.userAcModelKnown.load(), 1);
  }
  if (c.reason == kExitSystemError) {
    EXPECT_EQ(status(), "User closed Zendrik_P3D");
  }
  if (c.reason == kExitNewFlight) {
    EXPECT_EQ(waits_.back(),
              "10000: New flight detected, Zendrik_P3D will close, please restart manually ...");
  }
}

INSTANTIATE_TEST_SUITE_P(
    Reasons, ClosingTest,
    ::testing::Values(ReasonCase{0, 0, "NOT YET SET", kQuitMessage, false},
                      ReasonCase{1, 0, "SIM WAS CLOSED", kQuitMessage, false},
                      ReasonCase{2, 30, "NEW FLIGHT", kQuitMessage, false},
                      ReasonCase{3, 2, "NEW SETTINGS", kStartWorkerMessage, false},
                      ReasonCase{4, 0, "USER CLOSED SIM", kQuitMessage, false},
                      ReasonCase{5, 9, "SIMCONNECT ERROR", kStartWorkerMessage, true},
                      ReasonCase{6, 0, "READER ERROR", kStartWorkerMessage, true},
                      ReasonCase{7, 0, "SYSTEM ERROR", kQuitMessage, false}));

TEST_F(WorkerTest, TheCountdownShowsEverySecondAndLogsOnce) {
  gf_forceStop(kExitSimConnectError, 9);
  lf_closingDown();
  EXPECT_TRUE(logHas("Restarting after 9 seconds"));
  std::vector<std::string> shown;
  for (const std::string& w : waits_) {
    if (w.find("Restarting") != std::string::npos) shown.push_back(w.substr(w.find(": ") + 2));
  }
  ASSERT_EQ(shown.size(), 9u);
  EXPECT_EQ(shown.front(), "Restarting after 9 seconds");
  EXPECT_EQ(shown.back(), "Restarting after 1 second");
}

TEST_F(WorkerTest, ACloseDuringTheCountdownQuits) {
  onWait_ = [this](int) {
    if (status().find("Restarting after 7") != std::string::npos) gf_requestClose();
  };
  gf_forceStop(kExitSimConnectError, 9);
  lf_closingDown();
  EXPECT_EQ(posts_, std::vector<UINT>{kQuitMessage});
  EXPECT_FALSE(g_restarting.load());
  EXPECT_TRUE(g_closeRequested.load());
}

TEST_F(WorkerTest, AnInstallPathTypedAfterASystemErrorRestarts) {
  onWait_ = [](int index) {
    if (index == 2) gf_requestRestartAfterError(3);
  };
  gf_forceStop(kExitSystemError, 0);
  lf_closingDown();
  EXPECT_EQ(posts_, std::vector<UINT>{kStartWorkerMessage});
  EXPECT_NE(waits_.back().find(": Restarting after 1 second"), std::string::npos);
  EXPECT_TRUE(logHas("Restarting after 3 seconds"));
}

TEST_F(WorkerTest, AfterACloseNoInstallPathTurnsTheQuitIntoARestart) {
  onWait_ = [](int index) {
    if (index == 1) {
      gf_requestClose();
      gf_requestRestartAfterError(3);
    }
  };
  gf_forceStop(kExitSystemError, 0);
  lf_closingDown();
  EXPECT_EQ(g_exitReason.load(), kExitSystemError);
  EXPECT_EQ(posts_, std::vector<UINT>{kQuitMessage});
}

TEST_F(WorkerTest, AFailingStepLeavesTheLaterOnesToRun) {
  onWait_ = [](int index) {
    if (index == 0) throw std::runtime_error("settle wait failed");
  };
  g_paramDestination.setValue("KLAX");
  gf_forceStop(kExitSimClosed, 0);
  lf_closingDown();
  EXPECT_TRUE(logHas("===> lf_closingDown wait exception settle wait failed"));
  EXPECT_EQ(fileEntry("DESTINATION"), "");
  EXPECT_EQ(posts_, std::vector<UINT>{kQuitMessage});
}

TEST_F(WorkerTest, SimClientHasEndedBeforeTheRunIsReset) {
  std::atomic<bool> ended{false};
  g_workerSeams.simClient = [&](std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // a slow last dispatch
    ended = true;
  };
  bool endedAtReset = false;
  g_workerSeams.post = [&](UINT message) {
    endedAtReset = ended.load();
    posts_.push_back(message);
  };
  g_simThread = std::jthread(g_workerSeams.simClient);
  gf_forceStop(kExitNewSettings, 0);
  lf_closingDown();
  EXPECT_TRUE(endedAtReset);
  EXPECT_EQ(posts_, std::vector<UINT>{kStartWorkerMessage});
}

std::size_t lf_threadCount() {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                                                std::filesystem::directory_iterator{}));
}

TEST_F(WorkerTest, NoThreadOfARunOutlivesIt) {
  const std::size_t before = lf_threadCount();
  runBody_ = [] {
    g_simThread = std::jthread(g_workerSeams.simClient);
    gf_requestStop(kExitSimConnectError, 1);
  };
  runWorker();
  EXPECT_EQ(posts_, std::vector<UINT>{kStartWorkerMessage});
  EXPECT_EQ(lf_threadCount(), before);
}

TEST_F(WorkerTest, UnknownExceptionsAndUserErrorsTakeOverTheStop) {
  runBody_ = [] {
    gf_requestStop(kExitSimClosed, 0);
    throw 42;
  };
  onWait_ = [](int) { gf_requestClose(); };
  runWorker();
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::errorText), "Unknown exception");
  EXPECT_TRUE(logHas("Exiting: SYSTEM ERROR"));
  EXPECT_EQ(posts_, std::vector<UINT>{kQuitMessage});
}

TEST_F(WorkerTest, OtherExceptionsKeepAStopAlreadyRequested) {
  runBody_ = [] {
    gf_requestStop(kExitSimConnectError, 9);
    throw std::runtime_error("lost");
  };
  runWorker();
  EXPECT_EQ(g_mainWindowState.text(&MainWindowState::errorText), "");  // reset for the restart
  EXPECT_TRUE(logHas("Exiting: SIMCONNECT ERROR"));
  EXPECT_EQ(posts_, std::vector<UINT>{kStartWorkerMessage});
}

}  // namespace
}  // namespace shelltest
