// How aircraft leave the simulator and how they are put into their parked state: withdrawing
// queued creations, the one removal path, the livery respawn and the parked commands. Worker
// thread; client events reach the simulator link under g_simMutex.
#include <algorithm>
#include <exception>
#include <mutex>
#include <stdexcept>

#include <fmt/format.h>

#include "airports/airports.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/random_pick.h"
#include "intake/intake.h"
#include "traffic/records/records.h"

namespace {

constexpr std::uint32_t kCabinLightsOnInTen = 9;  // with RANDOM on, nine parked cabins in ten are lit

// The record waits for no object: its owner drops it, or it goes back to be created again.
void lf_forgetObject(StaticAircraft& aircraft) { aircraft.eraseMe = true; }

void lf_backToBuffer(StaticAircraft& aircraft) {
  gf_setState(aircraft, kStBuffer);
  aircraft.throttleStep = kThrottleStepUnknown;
  aircraft.flapsStep = kFlapsStepToRetract;
  gf_setObjectId(aircraft, 0);
}

}  // namespace

bool gf_removeFromCreateWait(std::deque<CreateAcRequest>& queue, const std::string& callsign) {
  if (callsign.empty()) {
    return false;
  }
  return std::erase_if(queue, [&callsign](const CreateAcRequest& r) {
           return r.callsign == callsign;
         }) != 0;
}

void removeAircraftFromSim(StaticAircraft& aircraft) {
  if (aircraft.st == kStBuffer) {
    aircraft.removedFromBuffer = true;
    return;
  }
  if (aircraft.removalPending || aircraft.eraseMe) {
    return;  // under way, or leaving without an object
  }
  if (aircraft.st == kStAdding2Sim) {
    const bool withdrawn = gf_removeFromCreateWait(g_liveCreateWait, aircraft.callsign) ||
                           gf_removeFromCreateWait(g_staticCreateWait, aircraft.callsign);
    if (withdrawn) {
      aircraft.eraseMe = true;  // the object was never created
    } else {
      aircraft.removalPending = true;  // removed when its object id arrives
    }
    return;
  }
  // A second removal would queue the object twice and free a stand that someone else may hold
  // by now.
  if (aircraft.st == kStRemovingFromSim) {
    return;
  }
  if (aircraft.standId != 0) {
    if (ParkPos* stand = gf_standById(aircraft.standId)) {
      stand->liveOccupied = false;
    }
  }
  // A livery respawn has queued the object already: its removal notice now ends the record.
  const bool queued =
      aircraft.st == kStLiveryRespawn ||
      std::find(g_removeWait.begin(), g_removeWait.end(), aircraft.objectId) != g_removeWait.end();
  gf_setState(aircraft, kStRemovingFromSim);
  if (aircraft.objectId != 0) {
    if (!queued) g_removeWait.push_back(aircraft.objectId);
    return;
  }
  gf_logError(fmt::format("{} removing act {}, with objectid=0 ?", "removeAircraftFromSim",
                          gf_acDescription(aircraft)));
  // No object can report its removal: without this the record would stay for the whole run and
  // block every later report of the aircraft.
  lf_forgetObject(aircraft);
}

void liveryRespawn(AiAircraft& aircraft) {
  try {
    if (aircraft.stream.empty()) {
      throw std::out_of_range("empty report stream");
    }
    PositionReport& front = aircraft.stream.front();
    PositionReport again = front;
    if (aircraft.fs != kFsParked) {
      again.lat = aircraft.lat;
      again.lon = aircraft.lon;
      again.roll = aircraft.bank;
      again.rollPresent = true;
      again.altitude = aircraft.altitude;
      again.samePosition = front.lat == aircraft.lat && front.lon == aircraft.lon;
    } else {
      aircraft.stream.resize(1);
      front.samePosition = true;
      front.track = aircraft.heading * kRadToDeg;
      again = front;
    }
    again.dueTime = static_cast<std::int32_t>(g_tickCount.load() + 1);
    aircraft.stream.push_front(again);
    gf_setState(aircraft, kStLiveryRespawn);
    aircraft.respawnHeading = aircraft.heading;
    if (aircraft.objectId != 0) {
      g_removeWait.push_back(aircraft.objectId);
      return;
    }
    gf_logError(fmt::format("{} removing act {} with objectid=0 ?", "liveryRespawn",
                            gf_acDescription(aircraft)));
    // No removal notice will come: go back to be created again, as that notice would.
    lf_backToBuffer(aircraft);
  } catch (const std::exception& e) {
    gf_log(fmt::format("{}: {}", "liveryRespawn", e.what()));
  }
}

void setParkedState(StaticAircraft& aircraft) {
  const std::uint32_t id = aircraft.objectId;
  if (aircraft.throttleStep != 0) {
    gf_queueClientEvent({id, kEventThrottleSet, 0});
    aircraft.throttleStep = 0;
  }
  if (aircraft.flapsStep != 0 && aircraft.category != kCatRotorcraft) {
    gf_queueClientEvent({id, kEventFlapsSet, 0});
    aircraft.flapsStep = 0;
  }
  gf_queueClientEvent({id, kEventEngineAutoShutdown, 0});
  std::uint32_t cabin = 1;
  if (aircraft.standFlag) {
    cabin = 0;  // cargo stands stay dark
  } else if (g_paramRandom.value()) {
    cabin = gf_rng()() % 10 < kCabinLightsOnInTen ? 1 : 0;
  }
  const std::uint32_t nav = g_paramNavLightsWhileParked.value() ? 1 : 0;
  std::lock_guard lock(g_simMutex);
  g_eventQueue.insert(g_eventQueue.end(), {{id, kEventNavLightsSet, nav},
                                           {id, kEventBeaconLightsSet, 0},
                                           {id, kEventLandingLightsSet, 0},
                                           {id, kEventTaxiLightsSet, 0},
                                           {id, kEventStrobesSet, 0},
                                           {id, kEventLogoLightsSet, 1},
                                           {id, kEventCabinLightsSet, cabin}});
}
