// What the files of the live traffic engine share among themselves (and with their tests): the
// per-step pieces of the engine step, the spawn and update of live aircraft, the parking rules
// that the spawn and try2Park share, and small helpers. Worker thread only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/engine_index.h"

// ---- Constants ----------------------------------------------------------------------------------

inline constexpr std::uint32_t kFirstLiveKey = kLastStaticTag + 1;
// Neighbours collide when their stands lie closer than this many times the two half spans.
inline constexpr double kNeighbourSpanFactor = 1.1;

// An angle brought into (-pi, pi].
double lf_signedAngle(double radians);

// A line written only while the LOG setting is on.
inline void lf_logUnderLog(std::string_view text) {
  if (g_paramLog.value()) gf_log(text);
}

// ---- The engine step (engine_step.cpp, report_intake.cpp) ------------------------------------

// What became of a traffic report.
enum class ReportFate {
  kMerged,
  kNewAircraft,
  kOnItsWayOut,       // its aircraft is being removed or respawned
  kTooSoon,           // 1 s or less after the last one
  kSpeedJump,
  kThinned,           // too little way since the last one
  kOnParkGround,      // on the ground at the park airport: static parking's business
  kIdentityRefused,   // the identity change refused it
  kSameCallsignType,  // another aircraft already flies as this callsign and type
  kUnknownType,
  kCategoryOff,
  kBadNumbers,
};
// Takes the front report of g_liveTrafficBuffer and hands it to lf_takeReport; false when the
// buffer is empty.
bool lf_takeNewAc();
// Merges the report into the live aircraft with its key, or starts a new aircraft with it.
ReportFate lf_takeReport(TrafficReport& report);
// Light, HighPerf and Rotorcraft aircraft only with their settings on; no category above 5.
bool lf_categoryAllowed(std::uint32_t category);
// The simulator has not placed the user aircraft yet: it still stands at about 0,0.
bool lf_userNotPlaced();
// The simulator names the object of a created aircraft only among the aircraft within the traffic
// radius: one created beyond it would hang where it appeared, never identified and never removed.
// So nothing is created beyond it (reports taken while the radius was larger, or before the user
// aircraft moved away). False while the user aircraft is not placed.
bool lf_beyondTrafficRadius(const LatLon& at);
// Advances every live aircraft, erases the dropped ones and hands this step's positions over.
void lf_updateAllLiveAc();
// Builds the create request of the live aircraft with the key into g_liveCreateWait.
void lf_queueLiveCreate(std::uint32_t key);
// Erases a live or static record by moving the last one into its place.
void lf_eraseLive(AiAircraft& aircraft);
void lf_eraseStatic(StaticAircraft& aircraft);
// A live record leaves without the removal path: its stand, when it holds one, is free again.
void lf_releaseStand(const AiAircraft& aircraft);

// One pending activation (sim_notices.cpp, pending_lights.cpp): counts the entry's steps, toggles
// a live aircraft's lights at 50 and 100 and activates the aircraft on the 201st call.
void gf_allLightsToggle(SimObjectNotice& entry);

// ---- Spawning and updating (spawn_decision.cpp, spawn.cpp, live_update.cpp) --------------------

void lf_spawnDecision(AiAircraft& aircraft);
void spawnLiveAc(AiAircraft& aircraft);
void updateLiveAc(AiAircraft& aircraft);
void decodeExisting(AiAircraft& aircraft, PositionReport& report);
// The identity-change handling before a report is merged; false drops the report.
bool lf_identityChange(AiAircraft& aircraft, const TrafficReport& report);
bool lf_checkNewPos(AiAircraft& aircraft, PositionReport& report);
bool lf_checkParkedPos(AiAircraft& aircraft, PositionReport& report);
void lf_leaveStand(AiAircraft& aircraft);
// Stores the slot of an option learned for the key (one pair per key).
void lf_storeParkedKeySlot(std::uint32_t key, std::uint32_t slot);

// The next static key: 1 .. 9999 in turn, passing over keys in use; 0 when all are taken.
std::uint32_t lf_nextStaticKey();

// ---- Stands shared by the spawn and try2Park (live_parking.cpp) ---------------------------------

// The stand contention rule over g_liveAc: false when the new aircraft may not take the stand.
bool lf_mayTakeStand(std::uint32_t standId, const std::string& callsign);
// The first neighbour stand at which a parked live aircraft with another callsign stands closer
// to the new aircraft than 1.1 x the two half spans; true when there is one.
bool lf_closeNeighbourOccupied(const ParkPos& stand, const AiAircraft& aircraft);
// Removes the static aircraft on the stand and those too close on its neighbours.
void lf_clearStandOfStatics(const ParkPos& stand, const AiAircraft& aircraft);
// Live aircraft never park on the reserved stand or the stand the user aircraft stands on.
bool lf_standRefused(const ParkPos& stand);
// try2Park's rules for a stand it found: false when the stand is refused; else the parked
// occupant, colliding neighbours and static aircraft in the way are removed.
bool lf_takeStandForParking(AiAircraft& aircraft, ParkPos& stand);
// A cargo aircraft on a stand without the cargo attribute gives the stand that attribute.
void lf_learnStandCargo(const AiAircraft& aircraft, ParkPos& stand);
