// Run-state atomics shared by the threads (see run_state.h for writers and readers).
#include "foundation/run_state.h"

#include <cmath>
#include <mutex>

std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_exitRequested{false};
std::atomic<std::uint32_t> g_exitReason{0};
std::atomic<std::uint32_t> g_restartDelaySec{0};

namespace {
// Serialises the stop setters, so that the test of the flag and the writes of reason, delay and
// flag happen as one step.
std::mutex g_stopSetterMutex;
}  // namespace

bool gf_requestStop(std::uint32_t reason, std::uint32_t restartDelaySec) {
  std::lock_guard lock(g_stopSetterMutex);
  if (g_stopRequested.load()) return true;
  g_exitReason.store(reason);
  g_restartDelaySec.store(restartDelaySec);
  g_stopRequested.store(true);
  return false;
}

void gf_forceStop(std::uint32_t reason, std::uint32_t restartDelaySec) {
  std::lock_guard lock(g_stopSetterMutex);
  g_exitReason.store(reason);
  g_restartDelaySec.store(restartDelaySec);
  g_stopRequested.store(true);
}

bool gf_replaceStop(std::uint32_t stoppedWith, std::uint32_t reason,
                    std::uint32_t restartDelaySec) {
  std::lock_guard lock(g_stopSetterMutex);
  if (g_exitRequested.load() || g_closeRequested.load()) return false;
  if (g_stopRequested.load() && g_exitReason.load() != stoppedWith) return false;
  g_exitReason.store(reason);
  g_restartDelaySec.store(restartDelaySec);
  g_stopRequested.store(true);
  return true;
}

void gf_requestExit() {
  std::lock_guard lock(g_stopSetterMutex);
  g_exitRequested.store(true);
  g_stopRequested.store(true);
}

void gf_requestClose() {
  std::lock_guard lock(g_stopSetterMutex);
  g_closeRequested.store(true);
  g_exitRequested.store(true);
  g_stopRequested.store(true);
}

void gf_clearStop() {
  std::lock_guard lock(g_stopSetterMutex);
  g_exitRequested.store(false);
  g_stopRequested.store(false);
  g_exitReason.store(kExitNotYetSet);
  g_restartDelaySec.store(0);
}

std::atomic<bool> g_closeRequested{false};

std::atomic<bool> g_rtProfessional{false};
std::atomic<double> g_trafficTimeSec{0.0};

std::atomic<int> g_userMaxLive{-1};
std::atomic<DayHh> g_dayHhNow{DayHh{}};

namespace {
constexpr double kDefaultRadiusNm = 40.0;  // LATERAL_RANGE's default
}  // namespace

std::atomic<double> g_trafficRadiusNm{kDefaultRadiusNm};
std::atomic<std::uint32_t> g_trafficRadiusM{
    static_cast<std::uint32_t>(kDefaultRadiusNm * 1852.0)};

void gf_setTrafficRadius(double nm) {
  g_trafficRadiusNm.store(nm);
  g_trafficRadiusM.store(static_cast<std::uint32_t>(std::lround(nm * 1852.0)));
}
