#include "worker_test_helpers.h"

#include <chrono>
#include <filesystem>

#include "foundation/main_window_state.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "intake/intake.h"
#include "platform/headless.h"
#include "shell/shell.h"

namespace shelltest {

void WorkerTest::SetUp() {
  ShellWindowTest::SetUp();
  env_.set("APPDATA", (folder_.path() / "Roaming").string());
  savedAppData_ = g_appDataFolder;
  g_appDataFolder = folder_.path() / "AppData";
  std::filesystem::create_directories(folder_.path() / "docs");
  g_restarting = false;
  g_dbaseRead = false;
  g_closeRequested = false;
  g_exitRequested = false;
  g_stopRequested = false;
  auto record = [this](const char* name) { return [this, name] { calls_.push_back(name); }; };
  g_workerSeams.checkNewVersion = record("checkNewVersion");
  g_workerSeams.readDbase = record("readDbase");
  g_workerSeams.detectP3D = record("detectP3D");
  g_workerSeams.readAirports = record("readAirports");
  g_workerSeams.liveriesScan = record("liveriesScan");
  g_workerSeams.scanAirports = record("scanAirports");
  g_workerSeams.readMyParkAirports = record("readMyParkAirports");
  g_workerSeams.run = [this] {
    calls_.push_back("run");
    if (runBody_) runBody_();
  };
  g_workerSeams.simClient = [](std::stop_token stop) {
    while (!stop.stop_requested()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  g_workerSeams.post = [this](UINT message) { posts_.push_back(message); };
  g_workerSeams.wait = [this](WorkerSeams::Clock::duration d) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(d).count();
    waits_.push_back(std::to_string(ms) + ": " + status());
    errors_.push_back(g_mainWindowState.text(&MainWindowState::errorText));
    if (onWait_) onWait_(static_cast<int>(waits_.size()) - 1);
  };
}

void WorkerTest::TearDown() {
  if (g_simThread.joinable()) {
    g_simThread.request_stop();
    g_simThread.join();
  }
  gf_resetWorkerSeams();
  g_appDataFolder = savedAppData_;
  g_restarting = false;
  g_closeRequested = false;
  g_readerError = false;
  ShellWindowTest::TearDown();
}

void WorkerTest::runWorker() {
  lf_worker();
  platform::gf_pumpMessages();
}

bool WorkerTest::called(const std::string& step) const {
  return std::find(calls_.begin(), calls_.end(), step) != calls_.end();
}

int WorkerTest::posted(UINT message) const {
  return static_cast<int>(std::count(posts_.begin(), posts_.end(), message));
}

}  // namespace shelltest
