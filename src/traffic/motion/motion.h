// Motion of live aircraft along their report streams: taking up the next report when it is due
// (nextPosMain), the per-step mover between reports (lf_stepMotion), the touchdown, the search
// for a stand and the drive onto it, and the birth values of a live aircraft's motion.
//
// Units: positions in degrees, headings, pitch and bank in radians (negative pitch is nose up),
// altitudes in feet, speeds in knots, vertical speeds in feet per minute inside the motion code,
// times in engine steps of 10 ms (g_tickCount). A distance of d nm at v kt takes
// d x 360000 / v steps.
//
// Threads: worker only. Client events go to the simulator link's queue under g_simMutex (light
// groups in one hold, never through gf_queueClientEvent, which takes the same lock).
#pragma once

#include <cstdint>
#include <deque>

#include "traffic/records/records.h"

// ---- Engine state the motion code shares ---------------------------------------------------

// Keys of live aircraft for the shell's coupled-callsign and duplicate checks, oldest first.
// Appended by the spawn, the approach, the arrival at a stand and the touchdown; taken from the
// front by the shell's flight-running step. Worker only.
extern std::deque<std::uint32_t> g_newLiveIds;
// A touchdown waits for its ground contact: the range request goes out every 20th step instead
// of every 100th. Set by the flare, cleared by lf_touchdown and the traffic reset. Worker only.
extern bool g_fastRangeRequest;

// What the motion code calls of parts of the engine built elsewhere; an empty slot is skipped.
// Filled once at start-up (or by tests). Worker only.
struct MotionHooks {
  // The parked statistics with their maximum check, after an arrival learned a stand option.
  void (*parkLimits)(bool oneMore) = nullptr;
};
extern MotionHooks g_motionHooks;

// ---- Birth -----------------------------------------------------------------------------------

// The motion values of a new live aircraft's head: the turn step starts at the pitch rate, the
// default climb step (feet per step) and the taxi speed (knots) come from the size category.
// Throws std::out_of_range for a category outside 0..5.
void gf_initLiveMotion(AircraftHead& head);

// ---- Stepping ----------------------------------------------------------------------------------

// Takes up the next leg when the front report is due: keeps the stream usable (drops airborne
// standstill reports, extends it with predicted reports or gives the aircraft up) and runs
// nextPos. Never throws: a failing leg is logged, its front report dropped.
void nextPosMain(AiAircraft& a);
// Takes up the next report: the per-step velocity towards it and the ground or air leg. Throws
// std::runtime_error when the stream is empty afterwards (the aircraft is removed first).
void nextPos(AiAircraft& a);
// Moves the aircraft one step: straight or along its curve, heading, attitude, take-off and flare.
// Allocates nothing.
void lf_stepMotion(AiAircraft& a);

// ---- Take-off ---------------------------------------------------------------------------------

// The take-off run begins: idle throttle, spoilers in, take-off flaps, the take-off lights and
// wider retiming limits. The update code starts it when the reports speed up.
void lf_takeOffRunStart(AiAircraft& a);
// The rotation begins (and the run, when it has not yet); a touch-and-go leaves its landing roll.
void lf_takeOffStart(AiAircraft& a);

// ---- Ground contact and parking ----------------------------------------------------------------

// The simulator reports the aircraft on the ground: the landing roll begins (spoilers, levers,
// the nose comes down), or an aircraft on the ground only takes the on-ground state.
void lf_touchdown(AiAircraft& a);
// Looks for a free stand near the last report and drives the aircraft onto it. tryOptions widens
// the search to 55 m and to stands with a learned option of this aircraft.
void try2Park(AiAircraft& a, bool tryOptions);
// Appends the reports that take the aircraft from its last report onto the stand and stop it
// there half a second later.
void drive2Stand(AiAircraft& a, const StandPlace& stand);
