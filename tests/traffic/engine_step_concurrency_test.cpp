// The engine step while the traffic reader appends: the reports of new aircraft that wait are
// given back in front of those that came meanwhile, and what the buffer's cap then drops is
// counted with the other drops.
#include <atomic>
#include <mutex>
#include <thread>

#include <fmt/format.h>

#include "engine_test_support.h"
#include "intake/intake.h"

using namespace enginetest;

namespace {

class EngineStepWhileReading : public EngineTest {};

constexpr std::uint32_t kFlood = 1010;  // new aircraft reported in one burst
constexpr std::size_t kWaiting = 1000;  // of their reports, those that may wait
constexpr std::uint32_t kTries = 200;   // steps tried until the reader gets between take and give

// Plays the traffic reader on a thread of its own during one step on this thread (the worker):
// once the step has taken the buffer (it is empty) and before it gives the waiting reports back,
// a full buffer arrives. False when the step gave them back first.
bool lf_fillWhileTheStepRuns(const TrafficReport& late) {
  std::atomic<bool> ready{false};
  std::atomic<bool> stepped{false};
  std::atomic<bool> filled{false};
  // It spins without yielding: a yield could hand its CPU to the step for the whole step.
  std::thread reader([&] {
    ready = true;
    while (!stepped && !filled) {
      std::unique_lock lock(g_trafficMutex, std::try_to_lock);
      if (lock.owns_lock() && g_liveTrafficBuffer.empty()) {
        g_liveTrafficBuffer.resize(kLiveTrafficBufferCap, late);
        filled = true;
      }
    }
  });
  while (!ready) std::this_thread::yield();
  gf_liveTrafficStep();
  stepped = true;
  reader.join();
  return filled;
}

}  // namespace

// Of a flood of new aircraft two start, 1,000 reports wait and the farthest 8 are dropped; a full
// buffer that came meanwhile pushes the 1,000 given back (the oldest) past the cap.
TEST_F(EngineStepWhileReading, ReportsGivenBackPastTheCapAreCounted) {
  if (std::thread::hardware_concurrency() < 2) GTEST_SKIP() << "needs two CPUs to interleave";
  const TrafficReport late = gf_report(39999, "LATE", "A320", gf_at(0, 0), 3000, 250, 90, 2.0);
  bool caught = false;
  for (std::uint32_t n = 0; n < kTries && !caught; ++n) {
    {
      std::lock_guard lock(g_trafficMutex);
      g_liveTrafficBuffer.clear();
      for (std::uint32_t k = 0; k < kFlood; ++k) {
        const std::uint32_t key = 40000 + n * kFlood + k;
        g_liveTrafficBuffer.push_back(gf_report(key, fmt::format("F{}", key), "A320",
                                                gf_at(0, 20000 + 10.0 * k), 3000, 250, 90, 1.0));
      }
    }
    const std::size_t before = g_trafficReader.droppedReports();
    caught = lf_fillWhileTheStepRuns(late);
    EXPECT_EQ(g_trafficReader.droppedReports() - before,
              kFlood - 2 - kWaiting + (caught ? kWaiting : 0));
  }
  EXPECT_TRUE(caught) << "the reader never came between a step's take and give in " << kTries;
}
