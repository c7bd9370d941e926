// The worker thread: one per start or restart, started by WM_APP+1. It loads the settings and
// keeps the window until the user closes it, then asks the window to save its position and quit.
#include <chrono>
#include <exception>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "shell/shell.h"

std::jthread g_workerThread;

namespace {

constexpr auto kCloseCheck = std::chrono::milliseconds(100);

void lf_waitForClose() {
  while (!g_stopRequested.load() && !g_exitRequested.load()) {
    std::this_thread::sleep_for(kCloseCheck);
  }
}

}  // namespace

void lf_startWorker() {
  if (g_workerThread.joinable()) g_workerThread.join();  // it has posted its last message
  g_workerThread = std::jthread(lf_worker);
}

void lf_stopWorker() {
  g_exitRequested.store(true);
  g_stopRequested.store(true);
  if (g_workerThread.joinable()) g_workerThread.join();
}

void lf_worker() {
  try {
    lf_initParameterGroups();
    g_mainWindowState.invalidate(kSettingsArea);
  } catch (const std::exception& e) {
    gf_showError(e.what());
  }
  lf_waitForClose();
  if (HWND window = g_hWnd.load(); window != nullptr) PostMessageW(window, kQuitMessage, 0, 0);
}
