#pragma once
// The simulator side of a replay: a fake simulator that drains the link's queues in process, or
// SimClient with the stand-in. Both report identifications and removals back to the driver.

#include <cstdint>
#include <functional>
#include <memory>

#include "replay.h"

namespace replay {

struct SimCallbacks {
  std::function<void(std::uint32_t key, std::uint32_t objectId)> identified;
  std::function<void(std::uint32_t objectId)> removed;
};

class SimSide {
 public:
  virtual ~SimSide() = default;
  virtual void create(const CreateAcRequest& request) = 0;
  virtual void remove(std::uint32_t objectId) = 0;
  // After the step's positions are in the fill queue: hand them over, report what came back.
  virtual void afterStep(std::int64_t step, ReplayRun& run, const SimCallbacks& callbacks) = 0;
  // The replay is over: what the simulator saw goes into the run.
  virtual void finish(ReplayRun& run) = 0;
};

std::unique_ptr<SimSide> gf_fakeSim();
std::unique_ptr<SimSide> gf_standinSim(const Scenario& scenario, const ReplayOptions& options);

}  // namespace replay
