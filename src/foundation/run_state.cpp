// Run-state atomics shared by the threads (see run_state.h for writers and readers).
#include "foundation/run_state.h"

#include <cmath>

std::atomic<bool> g_stopRequested{false};
std::atomic<bool> g_exitRequested{false};
std::atomic<std::uint32_t> g_exitReason{0};
std::atomic<std::uint32_t> g_restartDelaySec{0};

std::atomic<bool> g_rtProfessional{false};
std::atomic<double> g_trafficTimeSec{0.0};

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
