// The client events and the lever data the motion sends to an aircraft's object: throttle and
// flaps only when their step changes, light groups under one hold of g_simMutex, and the one
// write of definition 401. Worker thread.
#include <array>
#include <mutex>

#include "simlink/simlink.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {
constexpr double kLeverFullPercent = 100.0;
}  // namespace

void lf_sendEvent(const AiAircraft& a, std::uint32_t eventId, std::uint32_t data) {
  gf_queueClientEvent({a.objectId, eventId, data});
}

void lf_queueLights(const AiAircraft& a, const LightGroup& lights) {
  const std::uint32_t id = a.objectId;
  std::lock_guard lock(g_simMutex);
  g_eventQueue.insert(g_eventQueue.end(), {{id, kEventNavLightsSet, lights.nav},
                                           {id, kEventBeaconLightsSet, lights.beacon},
                                           {id, kEventLandingLightsSet, lights.landing},
                                           {id, kEventTaxiLightsSet, lights.taxi},
                                           {id, kEventStrobesSet, lights.strobes},
                                           {id, kEventLogoLightsSet, lights.logo},
                                           {id, kEventCabinLightsSet, lights.cabin}});
}

void lf_setThrottle(AiAircraft& a, std::uint32_t step) {
  if (a.throttleStep == step) {
    return;
  }
  lf_sendEvent(a, kEventThrottleSet, kThrottleValues.at(step));
  a.throttleStep = step;
}

void lf_setFlaps(AiAircraft& a, std::uint32_t step) {
  if (a.flapsStep == step || a.category == kCatRotorcraft) {
    return;
  }
  lf_sendEvent(a, kEventFlapsSet, kFlapsValues.at(step));
  a.flapsStep = step;
}

void lf_setGear(const AiAircraft& a, bool down) {
  if (a.category != kCatRotorcraft) {
    lf_sendEvent(a, kEventGearSet, down ? 1 : 0);
  }
}

void lf_setSpoilers(const AiAircraft& a, std::uint32_t value) {
  if (a.category != kCatRotorcraft) {
    lf_sendEvent(a, kEventSpoilersSet, value);
  }
}

void lf_writeSpoilersAndLevers(const AiAircraft& a, bool touchdown) {
  std::array<double, 3> values{0.0, 0.0, 0.0};
  if (touchdown) {
    const double levers = a.special ? -kLeverFullPercent : kLeverFullPercent;
    values = {kLeverFullPercent, levers, levers};
  }
  std::lock_guard lock(g_simMutex);
  // Like the positions, the write is not checked: a refused one costs only this setting.
  SimConnect_SetDataOnSimObject(g_hSimConnect.load(), kDefSpoilersThrottles, a.objectId, 0, 0,
                                sizeof values, values.data());
}
