// Identified objects become active about two seconds after their identification: a live
// aircraft's lights are toggled twice on the way, then lights, engines, spoilers, throttle and
// flaps are set for its situation; a static aircraft takes its parked state. Worker thread,
// inside the notice processing.
#include <mutex>

#include <fmt/format.h>

#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr std::int32_t kActivationSteps = 200;
constexpr std::int32_t kFirstToggleStep = 50;
constexpr std::int32_t kSecondToggleStep = 100;
constexpr std::int32_t kEntryDone = -1;
constexpr double kHighLightsFt = 10000.0;
constexpr double kCabinAboveGroundFt = 2000.0;
constexpr std::uint32_t kRotorcraftThrottle = 4;
constexpr std::uint32_t kTaxiFlaps = 1;

void lf_toggleAllLights(std::uint32_t objectId) {
  HRESULT result = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    result = SimConnect_TransmitClientEvent(g_hSimConnect.load(), objectId, kEventAllLightsToggle,
                                            0, kSimGroupId, 0);
  }
  if (result < 0) {
    gf_logError("SimConnect gf_allLightsToggle fails");
    gf_simConnectRequestError(result);
  }
}

void lf_activateLive(AiAircraft& a) {
  const bool airborne = !a.stream.empty() && a.stream.front().airborne;
  if (airborne) {
    lf_sendEvent(a, kEventEngineAutoStart, 0);
    lf_setSpoilers(a, 0);
    const std::uint32_t low = a.altitude <= kHighLightsFt ? 1 : 0;
    const std::uint32_t cabin = a.heightAboveGround >= kCabinAboveGroundFt ? 1 : 0;
    lf_queueLights(a, {1, 1, low, 0, 1, low, cabin});
  } else {
    const bool parked = a.fs == kFsParked;
    lf_setSpoilers(a, 0);
    std::uint32_t nav = 1;
    if (parked) {
      lf_sendEvent(a, kEventEngineAutoShutdown, 0);
      nav = g_paramNavLightsWhileParked.value() ? 1 : 0;
    } else {
      lf_sendEvent(a, kEventEngineAutoStart, 0);
    }
    const std::uint32_t taxi = a.fs == kFsTaxi ? 1 : 0;
    lf_queueLights(a, {nav, parked ? 0u : 1u, 0, taxi, 0, 1, 1});
    lf_setThrottle(a, a.category == kCatRotorcraft ? kRotorcraftThrottle : 0);
    lf_setFlaps(a, a.fs == kFsTaxi ? kTaxiFlaps : 0);
  }
  gf_setState(a, kStActive);
}

void lf_activateStatic(StaticAircraft& s, std::uint32_t objectId) {
  gf_setState(s, kStActive);
  gf_setObjectId(s, objectId);
  setParkedState(s);
  lf_logUnderLog(fmt::format("{:8}: {:8} parked", lf_standNameById(s.standId), s.callsign));
}

// A removal asked while the object was being created is carried out now.
void lf_removeIfPending(StaticAircraft* record) {
  if (record == nullptr || !record->removalPending) return;
  record->removalPending = false;
  removeAircraftFromSim(*record);
}

}  // namespace

void gf_allLightsToggle(SimObjectNotice& entry) {
  if (entry.counter < 0) return;
  if (entry.counter < kActivationSteps) {
    ++entry.counter;
    const bool toggle = entry.counter == kFirstToggleStep || entry.counter == kSecondToggleStep;
    if (entry.kind == kNoticeLiveIdentified && toggle) lf_toggleAllLights(entry.objectId);
    return;
  }
  entry.counter = kEntryDone;
  if (entry.kind == kNoticeLiveIdentified) {
    AiAircraft* a = gf_liveByKey(entry.tag);
    if (a != nullptr && a->st == kStAdding2Sim) lf_activateLive(*a);
    lf_removeIfPending(a);
    return;
  }
  StaticAircraft* s = gf_staticByKey(entry.tag);
  if (s != nullptr && s->st == kStAdding2Sim) lf_activateStatic(*s, entry.objectId);
  lf_removeIfPending(s);
}
