// The signal seams: one thread waits for the signals and turns them into window actions.
#include "platform/signal_seams.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "platform/gui_state.h"
#include "platform/headless.h"

namespace platform {
namespace {

std::atomic<bool> s_pngRequested{false};  // set by gf_requestWindowPng, taken by the GUI thread
std::thread s_signalThread;               // runs lf_waitForSignals; owned by the entry's thread
std::atomic<bool> s_stopping{false};

sigset_t lf_seamSignals() {
  sigset_t set;
  sigemptyset(&set);
  for (int sig : {SIGTERM, SIGINT, SIGUSR1, SIGUSR2}) sigaddset(&set, sig);
  return set;
}

std::vector<HWND> lf_visibleTopLevels() {
  std::vector<HWND> windows;
  std::lock_guard lock(gf_gui().mutex);
  for (const auto& [handle, window] : gf_gui().windows) {
    if (window->parent == nullptr && window->visible && !window->destroying) {
      windows.push_back(handle);
    }
  }
  return windows;
}

// SIGUSR2 only wakes the thread when it is to end.
void lf_waitForSignals() {
  const sigset_t set = lf_seamSignals();
  while (!s_stopping.load()) {
    int sig = 0;
    if (sigwait(&set, &sig) != 0) continue;
    if (sig == SIGTERM || sig == SIGINT) gf_postCloseToTopLevels();
    if (sig == SIGUSR1) gf_requestWindowPng();
  }
}

}  // namespace

void gf_startSignalSeams() {
  const sigset_t set = lf_seamSignals();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  s_stopping.store(false);
  s_signalThread = std::thread(lf_waitForSignals);
}

void gf_stopSignalSeams() {
  if (!s_signalThread.joinable()) return;
  s_stopping.store(true);
  pthread_kill(s_signalThread.native_handle(), SIGUSR2);
  s_signalThread.join();
}

void gf_postCloseToTopLevels() {
  for (HWND window : lf_visibleTopLevels()) PostMessageW(window, WM_CLOSE, 0, 0);
}

void gf_requestWindowPng() {
  // Invalidated before the flag is set: a thread that sees the flag with nothing left to
  // paint has painted since. The owner may have painted before the flag was set, so it is
  // woken once more to look at the flag.
  const std::vector<HWND> windows = lf_visibleTopLevels();
  for (HWND window : windows) InvalidateRect(window, nullptr, TRUE);
  s_pngRequested.store(true);
  for (HWND window : windows) PostMessageW(window, WM_NULL, 0, 0);
}

void gf_writeRequestedWindowPng(ThreadQueue& queue) {
  if (!s_pngRequested.load()) return;
  HWND target = nullptr;
  {
    std::lock_guard lock(gf_gui().mutex);
    for (HWND h : queue.windows) {
      HWND__* w = gf_findLocked(h);
      if (w == nullptr || !gf_visibleChainLocked(*w)) continue;
      if (!gf_isEmpty(w->update)) return;  // not painted yet
      if (target == nullptr && w->parent == nullptr) target = h;
    }
    if (target == nullptr || !s_pngRequested.exchange(false)) return;
  }
  const char* path = std::getenv("ZENDRIK_WINDOW_PNG");
  if (path == nullptr || path[0] == 0) return;
  std::string error;
  if (!gf_saveWindowPng(target, path, &error)) {
    std::fprintf(stderr, "window PNG %s not written: %s\n", path, error.c_str());
  }
}

}  // namespace platform
