// The live traffic step, the engine's heartbeat: notices, every live aircraft one step further,
// and the pace at which removals, creations, new reports, the range request and the user
// position go out. Also MAX_LIVE and the reservation of the engine's containers. Worker thread.
#include <algorithm>
#include <deque>
#include <exception>
#include <limits>
#include <mutex>
#include <utility>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/errors.h"
#include "foundation/run_state.h"
#include "intake/intake.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kRemovalEvery = 10;     // steps between two removals handed over
constexpr std::uint32_t kCreationEvery = 50;    // steps between two creations handed over
constexpr std::uint32_t kRangeEvery = 100;      // steps between two aircraft-in-range requests
constexpr std::uint32_t kFastRangeEvery = 20;   // ... while a touchdown waits for ground contact
constexpr std::uint32_t kUserPositionEvery = 100;
constexpr float kWaitForLinkAboveFps = 50.0f;  // above this frame rate a busy link is waited for
constexpr double kFarthestMarginNm = 0.1;

bool s_reserved = false;  // the containers are reserved once per process

// An aircraft in its flare waits for the simulator's ground contact (the fast range request).
bool lf_inFlare(const AiAircraft& a) {
  return a.st == kStActive && !a.onGround && a.flareStage > 0;
}

void lf_handOverPositions() {
  std::unique_lock lock(g_simMutex, std::try_to_lock);
  if (!lock.owns_lock()) {
    if (g_simFrameRate.load() <= kWaitForLinkAboveFps) {
      g_posFillQueue->clear();  // a slow simulator loses this step's positions, never a step
      return;
    }
    lock.lock();
  }
  std::swap(g_posFillQueue, g_posQueue);
  g_posFillQueue->clear();
}

void lf_handOverRemoval() {
  if (g_removeWait.empty()) return;
  {
    std::lock_guard lock(g_simMutex);
    g_removeQueue.push_back(g_removeWait.front());
  }
  g_removeWait.pop_front();
}

// The radius shrank, or the user aircraft moved away, while the request waited: the record waits
// in the buffer again, for a report inside the radius.
void lf_backToSpawnDecision(std::uint32_t key) {
  AiAircraft* a = gf_liveByKey(key);
  if (a != nullptr && a->st == kStAdding2Sim) gf_setState(*a, kStBuffer);
}

CreateAcRequest lf_liveCreateRequest(const AiAircraft& a) {
  const bool onGround = !a.stream.empty() && !a.stream.back().airborne;
  return {a.lat, a.lon, a.altitude, a.pitch * kRadToDeg, a.bank * kRadToDeg, a.heading * kRadToDeg,
          onGround ? 1u : 0u, 0, a.callsign, a.livery, a.key};
}

// A request that waited while its aircraft's reports went on (a group is created one every 50
// steps): the aircraft appears at the report due now, not where its turn was taken, or it would
// race through the reports it missed to catch up with them.
void lf_catchUp(CreateAcRequest& request) {
  AiAircraft* a = gf_liveByKey(request.tag);
  if (a == nullptr || a->st != kStAdding2Sim) return;
  const std::int64_t now = g_tickCount.load();
  std::deque<PositionReport>& stream = a->stream;
  bool moved = false;
  while (stream.size() > 2 && stream[1].airborne == stream[0].airborne &&
         stream[1].dueTime - kSpawnLeadSteps <= now) {
    stream.pop_front();
    moved = true;
  }
  if (!moved) return;
  lf_firstPose(*a);
  request = lf_liveCreateRequest(*a);
}

// The aircraft whose request is built next: the nearest to the user of those waiting (of equally
// near ones the last spawned), so that a group that spawned in one step is created nearest first.
std::uint32_t lf_takeNearestToCreate() {
  auto nearest = g_liveToCreate.begin();
  if (!lf_userNotPlaced()) {
    const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
    double nearestNm = std::numeric_limits<double>::infinity();
    for (auto it = g_liveToCreate.begin(); it != g_liveToCreate.end(); ++it) {
      const AiAircraft* a = gf_liveByKey(*it);
      const double nm = a == nullptr ? 0.0 : gf_distanceNm(user, {a->lat, a->lon});
      if (nm <= nearestNm) {
        nearest = it;
        nearestNm = nm;
      }
    }
  }
  const std::uint32_t key = *nearest;
  g_liveToCreate.erase(nearest);
  return key;
}

// One creation, a live one first; a static one only when no live one waits, and with it the
// next static candidate is taken. Without a waiting static request the next candidate is taken
// at once, so that the static parking starts and goes on after a dropped candidate.
void lf_handOverCreation() {
  if (!g_liveCreateWait.empty()) {
    CreateAcRequest request = std::move(g_liveCreateWait.front());
    g_liveCreateWait.pop_front();
    lf_catchUp(request);
    if (lf_beyondTrafficRadius({request.latitude, request.longitude})) {
      lf_backToSpawnDecision(request.tag);
      return;
    }
    gf_queueCreateAc(request);
    return;
  }
  if (!g_staticCreateWait.empty()) {
    gf_queueCreateAc(g_staticCreateWait.front());
    g_staticCreateWait.pop_front();
  }
  if (!g_staticCandidates.empty()) lf_resolveStandConflicts();
}

void lf_requestAircraftInRange() {
  HRESULT result = S_OK;
  {
    std::lock_guard lock(g_simMutex);
    if (g_simRequestError.load()) return;
    result = SimConnect_RequestDataOnSimObjectType(g_hSimConnect.load(), kRequestAcInRange,
                                                   kDefAcInRange, g_trafficRadiusM.load(),
                                                   SIMCONNECT_SIMOBJECT_TYPE_AIRCRAFT);
  }
  if (result < 0) {
    gf_logError("SimConnect request ac within range fails");
    gf_simConnectRequestError(result);
  }
}

// A record that is dropped by its owner instead of being removed leaves its stand free.
bool lf_dropped(const AiAircraft& a) {
  if (!a.removedFromBuffer && !a.eraseMe) return false;
  if (a.st != kStRemovingFromSim) lf_releaseStand(a);
  return true;
}

}  // namespace

void gf_liveTrafficStep() {
  const std::uint32_t n = g_tickCount.load();
  gf_processSimObjectNotices();
  lf_updateAllLiveAc();
  if (n % kRemovalEvery == 0) {
    lf_handOverRemoval();
    if (n % kCreationEvery == 0) lf_handOverCreation();
  }
  lf_takeNewAc();
  if (!g_liveToCreate.empty()) lf_queueLiveCreate(lf_takeNearestToCreate());
  if (n % (g_fastRangeRequest ? kFastRangeEvery : kRangeEvery) == 0) lf_requestAircraftInRange();
  if (n % kUserPositionEvery == 0) {
    gf_sendUserPosition();
    g_userAcSnapshot = gf_getUserAcData();
  }
  g_tickCount.fetch_add(1);
}

void lf_updateAllLiveAc() {
  bool anyDropped = false;
  bool anyFlaring = false;
  for (std::size_t i = 0; i < g_liveAc.size(); ++i) {
    AiAircraft& a = g_liveAc[i];
    try {
      updateLiveAc(a);
    } catch (const qvb::UserErrorException&) {
      throw;
    } catch (const std::exception& e) {
      // One aircraft's bad data must not end the run: it leaves the simulator instead.
      gf_logError(fmt::format("{} exception {} {}", "updateLiveAc", e.what(), gf_acDescription(a)));
      removeAircraftFromSim(a);
    }
    anyDropped = anyDropped || a.removedFromBuffer || a.eraseMe;
    anyFlaring = anyFlaring || lf_inFlare(a);
  }
  if (anyDropped) {
    std::erase_if(g_liveAc, lf_dropped);
    gf_recordsReordered();
  }
  // The aircraft that asked for fast range replies went around or left during its flare.
  if (g_fastRangeRequest && !anyFlaring) g_fastRangeRequest = false;
  lf_handOverPositions();
}

void lf_queueLiveCreate(std::uint32_t key) {
  AiAircraft* a = gf_liveByKey(key);
  if (a == nullptr) return;
  if (a->callsign.empty()) {
    gf_log(fmt::format("{} {} objectid = 0?", "operator ()", gf_acDescription(*a)));
    return;
  }
  if (a->removalPending) {
    // Removed before its request was built: nothing to withdraw, nothing to create.
    a->removalPending = false;
    a->eraseMe = true;
    return;
  }
  g_liveCreateWait.push_back(lf_liveCreateRequest(*a));
}

void gf_enforceMaxLive() {
  const int limit = g_paramMaxLive.value();
  if (limit == g_paramMaxLive.defaultValue) return;
  const std::int64_t active = gf_activeLiveCount();
  for (std::int64_t k = 0; k < active - limit; ++k) lf_removeFarthestLiveAc(-1.0);
}

bool lf_removeFarthestLiveAc(double distanceNm) {
  const LatLon user{g_userAcSnapshot.latitude, g_userAcSnapshot.longitude};
  double best = distanceNm;
  AiAircraft* candidate = nullptr;
  for (AiAircraft& a : g_liveAc) {
    if (a.st != kStActive) continue;
    const double d = gf_distanceNm(user, {a.lat, a.lon});
    if (d > best + kFarthestMarginNm) {
      candidate = &a;
      best = d;
    }
  }
  if (candidate == nullptr) return true;
  removeAircraftFromSim(*candidate);
  return false;
}

void gf_reserveTrafficBuffers() {
  if (s_reserved) return;
  s_reserved = true;
  g_liveAc.reserve(512);
  g_staticAc.reserve(256);
  g_parkStands.reserve(512);
  {
    std::lock_guard lock(g_simNoticesMutex);
    g_simNotices.reserve(256);
  }
  g_lightToggles.reserve(128);
  g_liveToCreate.reserve(64);
  g_staticCandidates.reserve(512);
  g_parkOptionCandidates.reserve(256);
  g_parkAdjustBuffer.reserve(64);
  g_staticRemovals.reserve(256);
  g_ghostTexts.reserve(64);
}
