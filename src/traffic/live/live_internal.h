// What the files of the live traffic step share among themselves (and with their tests): the
// per-step pieces of the engine step, the spawn and update of live aircraft and small helpers.
// Worker thread only.
#pragma once

#include <cstddef>
#include <cstdint>

#include "traffic/live/live.h"
#include "traffic/records/records.h"

// ---- Constants ----------------------------------------------------------------------------------

inline constexpr std::uint32_t kFirstLiveKey = kLastStaticTag + 1;
// An aircraft is decided this many steps before its front report is due (a moving ground
// aircraft earlier).
inline constexpr std::int64_t kSpawnLeadSteps = 100;

// An angle brought into (-pi, pi].
double lf_signedAngle(double radians);

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
// Takes every report waiting in g_liveTrafficBuffer and hands each to lf_takeReport, oldest
// first, starting at most two new aircraft, the nearest to the user first; the reports of
// further unknown aircraft wait for a later step (of a flood, those of the farthest are
// dropped). Returns how many reports were taken.
std::size_t lf_takeNewAc();
// Merges the report into the live aircraft with its key, or starts a new aircraft with it.
ReportFate lf_takeReport(TrafficReport& report);
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
// The livery of an aircraft being born: kept, remembered for its key, or matched anew. False
// when none is found (the aircraft is dropped).
bool lf_chooseLivery(AiAircraft& aircraft);
// The aircraft's pose from its front report (position, attitude, heading), as it is created.
void lf_firstPose(AiAircraft& aircraft);
void updateLiveAc(AiAircraft& aircraft);
void decodeExisting(AiAircraft& aircraft, PositionReport& report);
// The identity-change handling before a report is merged; false drops the report.
bool lf_identityChange(AiAircraft& aircraft, const TrafficReport& report);
bool lf_checkNewPos(AiAircraft& aircraft, PositionReport& report);
bool lf_checkParkedPos(AiAircraft& aircraft, PositionReport& report);
void lf_leaveStand(AiAircraft& aircraft);

// The next static key: 1 .. 9999 in turn, passing over keys in use; 0 when all are taken.
std::uint32_t lf_nextStaticKey();
