// The request flags and shared values of the window's handlers and the worker.
#include "shell/shell_state.h"

#include <mutex>

#include "foundation/run_state.h"

std::atomic<bool> g_rereadRequested{false};
std::atomic<bool> g_flushStaticRequested{false};
std::atomic<bool> g_blockRequested{false};
std::atomic<bool> g_clearNoMatchesRequested{false};
std::atomic<bool> g_parkAdjustRequested{false};
std::atomic<bool> g_navLightsRequested{false};
std::atomic<bool> g_enforceMaxLiveRequested{false};
std::atomic<bool> g_autoRangeRequested{false};
std::atomic<bool> g_clearLiveryTablesRequested{false};

std::atomic<std::uint32_t> g_reportSeconds{0};

namespace {

constexpr std::uint32_t kReasonNewSettings = 3;
constexpr std::uint32_t kReasonSystemError = 7;

std::mutex s_destinationMutex;                // guards s_destination
std::optional<std::string> s_destination;     // the entry not yet taken by the worker

// Serialises this file's stop writers, so that reason and delay are stored before the flag and
// two handlers never mix their values.
std::mutex s_stopMutex;

void lf_storeRestart(std::uint32_t delaySec) {
  g_exitReason.store(kReasonNewSettings);
  g_restartDelaySec.store(delaySec);
  g_stopRequested.store(true);
}

}  // namespace

void gf_requestDestination(const std::string& code) {
  std::lock_guard lock(s_destinationMutex);
  s_destination = code;
}

std::optional<std::string> gf_takeDestinationRequest() {
  std::lock_guard lock(s_destinationMutex);
  std::optional<std::string> taken;
  taken.swap(s_destination);
  return taken;
}

void gf_requestRestart(std::uint32_t delaySec) {
  std::lock_guard lock(s_stopMutex);
  if (!g_stopRequested.load()) lf_storeRestart(delaySec);
}

void gf_requestRestartAfterError(std::uint32_t delaySec) {
  std::lock_guard lock(s_stopMutex);
  if (g_exitRequested.load()) return;
  if (!g_stopRequested.load() || g_exitReason.load() == kReasonSystemError) {
    lf_storeRestart(delaySec);
  }
}
