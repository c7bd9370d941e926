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

std::mutex s_destinationMutex;             // guards s_destination
std::optional<std::string> s_destination;  // the entry not yet taken by the worker

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

void gf_requestRestart(std::uint32_t delaySec) { gf_requestStop(kExitNewSettings, delaySec); }

void gf_requestRestartAfterError(std::uint32_t delaySec) {
  gf_replaceStop(kExitSystemError, kExitNewSettings, delaySec);
}
