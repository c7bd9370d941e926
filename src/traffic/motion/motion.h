// Motion of live aircraft along their report streams: taking up the next report when it is due
// (nextPosMain), the per-step mover between reports (lf_stepMotion), the touchdown, the search
// for a stand and the drive onto it, and the birth values of a live aircraft's motion; for the
// live step's own use of them, the retiming limits, the phase and position helpers and the client
// events the motion sends (throttle, flaps, gear, spoilers, lights).
//
// Units: positions in degrees, headings, pitch and bank in radians (negative pitch is nose up),
// altitudes in feet, speeds in knots, vertical speeds in feet per minute inside the motion code,
// times in engine steps of 10 ms (g_tickCount). A distance of d nm at v kt takes
// d x 360000 / v steps.
//
// Threads: worker only. Client events go to the simulator link's queue under g_simMutex (light
// groups in one hold, never through gf_queueClientEvent, which takes the same lock).
#pragma once

#include <array>
#include <cstdint>

#include "traffic/records/records.h"

// ---- Hooks ----------------------------------------------------------------------------------

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

// ---- Speed on the ground ------------------------------------------------------------------------

inline constexpr double kMaxTaxiKt = 60.0;  // knots: a fast runway exit
inline constexpr double kRollingKt = 43.0;  // knots: reports this fast are a take-off run or roll
// The fastest the aircraft can move on the ground between the two reports, knots: as fast as its
// category rolls on a take-off run or landing roll (or when the reports show one), otherwise as
// fast as an aircraft taxies.
double lf_groundSpeedLimitKt(const AiAircraft& a, const PositionReport& from,
                             const PositionReport& to);

// ---- Retiming limits ---------------------------------------------------------------------------

inline constexpr std::int32_t kBaseLimitSteps = 1000;  // retiming limits fall back to this
inline constexpr std::int32_t kLimitDecaySteps = 100;  // ... by this much per leg
inline constexpr std::int32_t kRaisedLimitSteps = 3000;
inline constexpr std::int32_t kTakeOffDelayLimitSteps = 5000;

// ---- Small helpers ------------------------------------------------------------------------------

double lf_wrapHeading(double h);  // into [0, 2 pi)
LatLon lf_pos(const PositionReport& r);
LatLon lf_pos(const AiAircraft& a);
// Changes the phase, keeping the one before (only when it really changes).
void lf_setPhase(AiAircraft& a, std::uint32_t fs);
// The simulator has not placed the user aircraft yet: it still stands at about 0,0.
bool lf_userNotPlaced();

// ---- Client events of the motion ---------------------------------------------------------------

// Throttle steps and their THROTTLE_SET values; flaps steps and their FLAPS_SET values.
inline constexpr std::array<std::uint32_t, 5> kThrottleValues{0, 4914, 8191, 11468, 16383};
inline constexpr std::array<std::uint32_t, 4> kFlapsValues{0, 3072, 10240, 16383};
inline constexpr std::uint32_t kFullSpoilers = 16383;

struct LightGroup {
  std::uint32_t nav, beacon, landing, taxi, strobes, logo, cabin;
};
inline constexpr LightGroup kLightsTakeOff{1, 1, 1, 1, 1, 1, 0};
inline constexpr LightGroup kLightsBelow10000{1, 1, 1, 1, 1, 1, 1};
inline constexpr LightGroup kLightsCruise{1, 1, 0, 0, 0, 0, 1};
inline constexpr LightGroup kLightsTaxiIn{1, 1, 0, 1, 0, 1, 1};
inline constexpr LightGroup kLightsLeavingStand{1, 1, 0, 1, 0, 1, 0};

void lf_sendEvent(const AiAircraft& a, std::uint32_t eventId, std::uint32_t data);
// The seven light events in one hold of g_simMutex, in the order nav, beacon, landing, taxi,
// strobes, logo, cabin.
void lf_queueLights(const AiAircraft& a, const LightGroup& lights);
// THROTTLE_SET and FLAPS_SET only when the step differs from the one last sent; flaps, gear
// and spoilers never go to a Rotorcraft.
void lf_setThrottle(AiAircraft& a, std::uint32_t step);
void lf_setFlaps(AiAircraft& a, std::uint32_t step);
void lf_setGear(const AiAircraft& a, bool down);
void lf_setSpoilers(const AiAircraft& a, std::uint32_t value);
// Definition 401 on the object: spoiler handle and both throttle levers. At touchdown all 100
// (the levers -100 for a special livery, whose reversers work the other way), on the roll-out 0.
void lf_writeSpoilersAndLevers(const AiAircraft& a, bool touchdown);
