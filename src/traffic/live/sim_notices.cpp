// What the simulator link reports back, handled in order on the worker: an own object created
// and identified (its static CG asked for, its flight plan sent, its activation pending), an
// object removed, another aircraft near the ground, a static CG, a block and a refused creation.
// Holds g_simNoticesMutex for the whole processing and takes g_simMutex inside it.
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <mutex>
#include <system_error>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/run_state.h"
#include "liveries/match_summary.h"
#include "platform/paths.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kLastReservedObjectId = 2;  // ids up to the user aircraft's are no AI
constexpr double kMinStaticCgFt = 1.0;
constexpr double kMaxStaticCgFt = 35.0;
constexpr double kMinGroundPitch = -0.017453292519943295;  // -1 degree
constexpr double kMaxGroundPitch = 0.04363323129985824;    // 2.5 degrees
constexpr double kFallbackGroundPitch = 0.012217304763960306;  // 0.7 degrees

void lf_flightPlan(AiAircraft& a) {
  if (a.origin.empty() || a.destination.empty()) return;
  const std::filesystem::path path = g_flightPlanFolder / gf_flightPlanPath(a.objectId);
  bool sent = false;
  if (gf_writeFlightPlan(path, a)) {
    std::lock_guard lock(g_simMutex);
    sent = SimConnect_AISetAircraftFlightPlan(g_hSimConnect.load(), a.objectId,
                                              gf_pathToUtf8(path).c_str(), kRequestFlightPlan) == 0;
  }
  if (!sent) {
    gf_logError(fmt::format("{} creating a flight plan failed", gf_acShortDescription(a)));
  }
  a.flightPlanSent = sent;
}

// The object of a live aircraft was created: it takes the object id and waits for its
// activation. False refuses the id.
bool lf_objectIdentified(AiAircraft& a, const SimObjectNotice& n) {
  if (n.objectId <= kLastReservedObjectId) return false;
  gf_setObjectId(a, n.objectId);
  if (std::isfinite(n.value2)) a.heightAboveGround = n.value2;
  if (!a.stream.empty() && !a.stream.front().airborne) {
    a.onGround = true;
    a.climbRate = 0.0;
    if (a.fs == kFsParked) {
      a.parkedSlot = g_dayHhNow.load();
      lf_logUnderLog(fmt::format("{:8}: {:8} parks", lf_standNameById(a.standId), a.callsign));
      std::erase_if(g_staticCandidates,
                    [&a](const StaticCandidate& c) { return c.standId == a.standId; });
    }
  }
  a.takeOffStep = 1;
  lf_flightPlan(a);
  HRESULT result = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    result = SimConnect_RequestDataOnSimObject(g_hSimConnect.load(), kRequestStaticCg,
                                               kDefStaticCg, a.objectId, SIMCONNECT_PERIOD_ONCE, 0, 0, 0,
                                               0);
  }
  if (result < 0) {
    gf_logError("SimConnect request StaticCG fails");
    gf_simConnectRequestError(result);
  }
  return true;
}

void lf_objectRemoved(std::uint32_t objectId) {
  if (AiAircraft* a = gf_liveByObjectId(objectId)) {
    if (a->st == kStLiveryRespawn) {
      gf_setState(*a, kStBuffer);  // created again with its new livery
      a->throttleStep = kThrottleStepUnknown;
      a->flapsStep = kFlapsStepToRetract;
      gf_setObjectId(*a, 0);
      return;
    }
    if (a->flightPlanSent) {
      // A plan that cannot be deleted must not keep a record whose object is gone.
      std::error_code error;
      std::filesystem::remove(g_flightPlanFolder / gf_flightPlanPath(objectId), error);
      if (error) {
        gf_logError(fmt::format("{} remove {}.pln: {}", "lf_objectRemoved", objectId,
                                error.message()));
      }
    }
    if (a->st != kStRemovingFromSim) lf_releaseStand(*a);  // the simulator removed it itself
    lf_eraseLive(*a);
    return;
  }
  if (StaticAircraft* s = gf_staticByObjectId(objectId)) lf_eraseStatic(*s);
}

void lf_nearGround(const SimObjectNotice& n) {
  AiAircraft* a = gf_liveByObjectId(n.objectId);
  if (a == nullptr || !std::isfinite(n.value1) || !std::isfinite(n.value2)) return;
  if (n.tag == 1 && !a->onGround && a->takeOffStep < 2) lf_touchdown(*a);
  a->heightAboveGround = n.value2;
  if (a->onGround || a->takeOffStep >= 2) a->altitude = n.value1 + a->staticCgHeight;
}

void lf_staticCg(const SimObjectNotice& n) {
  AiAircraft* a = gf_liveByObjectId(n.objectId);
  if (a == nullptr) return;
  if (n.value1 >= kMinStaticCgFt && n.value1 <= kMaxStaticCgFt) {
    a->staticCgHeight = n.value1;
  } else if (g_paramLog.value()) {
    gf_logError(fmt::format("{}: static CG {:.1F}ft wrong?", gf_acDescription(*a), n.value1));
  }
  const bool plausible = n.value2 > kMinGroundPitch && n.value2 <= kMaxGroundPitch;
  a->groundPitch = plausible ? n.value2 : kFallbackGroundPitch;
}

void lf_blocked(std::uint32_t key) {
  AiAircraft* a = gf_liveByKey(key);
  if (a == nullptr) return;
  if (a->st == kStBuffer) {
    gf_log(fmt::format("{} will be removed from buffer while blocked", gf_acDescription(*a)));
    a->removedFromBuffer = true;
  } else if (a->st == kStActive) {
    gf_log(fmt::format("{} removed from simulator immediately while blocked", gf_acDescription(*a)));
    removeAircraftFromSim(*a);
  }
}

// The simulator refused the title: the record leaves, the title is barred (which ends the run
// once too many titles failed).
void lf_createFailed(std::uint32_t key) {
  LiveryTarget refused;
  if (key <= kLastStaticTag) {
    StaticAircraft* s = gf_staticByKey(key);
    if (s == nullptr) return;
    refused = *s;
    lf_eraseStatic(*s);
  } else {
    AiAircraft* a = gf_liveByKey(key);
    if (a == nullptr) return;
    refused = *a;
    lf_releaseStand(*a);
    lf_eraseLive(*a);
  }
  gf_liveryNotCreated(refused);
}

// The link could not send the creation: its callsign is too long for a tail number. The record
// leaves and the callsign is blocked for the run; the livery is not to blame.
void lf_callsignRefused(std::uint32_t key) {
  if (key <= kLastStaticTag) {
    if (StaticAircraft* s = gf_staticByKey(key)) lf_eraseStatic(*s);
    return;
  }
  AiAircraft* a = gf_liveByKey(key);
  if (a == nullptr) return;
  gf_log(fmt::format("{} blocked for this run: its callsign is too long for a tail number",
                     gf_acDescription(*a)));
  g_refusedCallsigns.insert(a->callsign);
  lf_releaseStand(*a);
  lf_eraseLive(*a);
}

void lf_handleNotice(const SimObjectNotice& n) {
  switch (n.kind) {
    case kNoticeLiveIdentified:
      if (AiAircraft* a = gf_liveByKey(n.tag); a != nullptr && lf_objectIdentified(*a, n)) {
        g_lightToggles.push_back(n);
      }
      break;
    case kNoticeStaticIdentified:
      g_lightToggles.push_back(n);
      break;
    case kNoticeObjectRemoved:
      lf_objectRemoved(n.objectId);
      break;
    case kNoticeNearGround:
      lf_nearGround(n);
      break;
    case kNoticeStaticCg:
      lf_staticCg(n);
      break;
    case kNoticeBlocked:
      lf_blocked(n.tag);
      break;
    case kNoticeCreateFailed:
      lf_createFailed(n.tag);
      break;
    case kNoticeCallsignRefused:
      lf_callsignRefused(n.tag);
      break;
    default:
      break;
  }
}

}  // namespace

void gf_processSimObjectNotices() {
  std::lock_guard lock(g_simNoticesMutex);
  std::size_t handled = 0;
  try {
    for (; handled < g_simNotices.size(); ++handled) lf_handleNotice(g_simNotices[handled]);
  } catch (...) {
    // The notices handled so far must not be handled again by a later call.
    g_simNotices.erase(g_simNotices.begin(),
                       g_simNotices.begin() + static_cast<std::ptrdiff_t>(handled + 1));
    throw;
  }
  g_simNotices.clear();
  bool finished = false;
  for (SimObjectNotice& entry : g_lightToggles) {
    gf_allLightsToggle(entry);
    finished = finished || entry.counter < 0;
  }
  if (finished) {
    std::erase_if(g_lightToggles, [](const SimObjectNotice& e) { return e.counter < 0; });
  }
}
