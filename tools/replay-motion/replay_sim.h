#pragma once
// The simulator side of a replay: a fake simulator in process, or SimClient with the stand-in.
// The engine hands its creations, removals, events and positions to the link's queues as it
// does in a run; the fake drains them itself after each step and answers with the link's
// notices, so that a replay is the same on every machine.

#include <cstdint>
#include <memory>

#include <nlohmann/json.hpp>

#include "replay.h"

namespace replay {

class SimSide {
 public:
  virtual ~SimSide() = default;
  // After engine step n (fastRange: the range request's pace in that step).
  virtual void afterStep(std::int64_t n, bool fastRange, ReplayRun& run) = 0;
  // The replay is over: what the simulator saw goes into the run.
  virtual void finish(ReplayRun& run) = 0;
};

// The stand-in's scenario: the user standing at the scenario's place, flat ground at the field.
nlohmann::json gf_standinScenario(const Scenario& scenario);

std::unique_ptr<SimSide> gf_fakeSim(const Scenario& scenario);
std::unique_ptr<SimSide> gf_standinSim(const Scenario& scenario, const ReplayOptions& options);

}  // namespace replay
