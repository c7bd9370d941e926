// What the motion files share among themselves (and with their tests): the legs of the ground
// and air motion, the retiming, curves and splits, the pushbacks and the per-category motion
// tables. Worker thread only.
#pragma once

#include <array>
#include <cstdint>

#include "traffic/motion/motion.h"

// ---- Constants --------------------------------------------------------------------------------

inline constexpr std::int64_t kMinLegSteps = 25;          // no leg is planned shorter
inline constexpr double kStepsPerHour = 360000.0;         // engine steps of 10 ms in an hour
inline constexpr double kMetresPerDegreeLat = 111132.95;  // the curve's flat-earth scale

// Per-category tables, indexed by the size category; .at() throws std::out_of_range beyond 5.
using CategoryTable = std::array<double, 6>;
extern const CategoryTable g_catRotateSpeedKt;     // knots; 0 for Rotorcraft
extern const CategoryTable g_catMaxPitchChange;    // radians per step
extern const CategoryTable g_catMaxBank;           // radians, either side
extern const CategoryTable g_catMaxBankChange;     // radians per step
extern const CategoryTable g_catBirthClimbStep;    // feet per step
extern const CategoryTable g_catBirthTaxiSpeedKt;  // knots
extern const CategoryTable g_catMaxRollKt;         // knots: the fastest run or roll

// ---- Small helpers ------------------------------------------------------------------------------

std::int64_t lf_stepNow();  // g_tickCount as a signed count
// Steps until the due time, at least kMinLegSteps (also when overdue).
std::int64_t lf_stepsUntil(std::int32_t due);
// round(distNm x 360000 / speedKt), at least kMinLegSteps; a speed that gives no finite time
// plans the shortest leg.
std::int64_t lf_plannedSteps(double distNm, double speedKt);
// A due time, kept within the range of the report's field.
std::int32_t lf_dueTime(std::int64_t steps);
// A longitude difference b - a brought into (-180, 180], so a leg across the antimeridian takes
// the short way.
double lf_lonDelta(double a, double b);
double lf_wrapLongitude(double lon);  // into [-180, 180]
bool lf_curveUnderWay(const AiAircraft& a);
void lf_clearCurve(AiAircraft& a);
// Whether the aircraft may be set down: a ground report lies ahead in its stream, or it flies on
// predicted reports (which give it up in the air rather than set it down away from airports).
bool lf_landingAhead(const AiAircraft& a);
// Each retiming limit above 1000 falls by 100, not below 1000.
void lf_decayLimits(AiAircraft& a);
// A report at the position for the ground motion's own legs: no roll, no heading, on the ground.
PositionReport lf_groundReport(const LatLon& at, double groundSpeedKt, std::int32_t due);

// ---- Retiming (retiming.cpp) -----------------------------------------------------------------

double lf_speedEstimate(const AiAircraft& a);       // knots, of the leg front -> second report
void lf_retimeSecond(AiAircraft& a, std::int64_t plannedSteps);
void nextPosAir(AiAircraft& a);
void lf_turnAndRetime(AiAircraft& a);

// ---- Curves, splits and the per-step sequences (step_motion.cpp) -------------------------------

// The curve's point and tangent heading at t; false when no curve is set or t is outside it.
bool lf_curvePoint(const MotionCurve& c, double t, LatLon& at, double& heading);
// A curve from the aircraft's position through the second report (control point) to the third;
// the second report leaves the stream. Needs 3 reports (std::out_of_range otherwise).
void lf_setUpCurve(AiAircraft& a);
// Inserts the midpoint of the front and second reports after the front.
void lf_insertMidpoint(AiAircraft& a);
// The midpoint, when the leg changes speed by more than 5 kt over at least 100 m.
void lf_splitAtSpeedChange(AiAircraft& a);
void lf_takeOffStep(AiAircraft& a);
// Feet above its static CG height from which the flare takes a landing aircraft to the ground.
inline constexpr double kFlareStartCgMarginFt = 30.0;
void lf_flareStep(AiAircraft& a);

// ---- Ground motion (ground_motion.cpp) ---------------------------------------------------------

void nextPosGround(AiAircraft& a);
void lf_groundLegSetup(AiAircraft& a);
void lf_landingRollStep(AiAircraft& a);

// ---- Air motion (air_motion.cpp) ---------------------------------------------------------------

void lf_airLegSetup(AiAircraft& a);
// The rest of the leg once the take-off is over: towards the report ahead at the rate that meets
// it, no faster than the aircraft climbs; level when that report is on the ground.
void lf_climbRestOfLeg(AiAircraft& a);
double lf_qnhDescentRate(const AiAircraft& a);  // feet per minute
void lf_bankFromTurn(AiAircraft& a, double turn, std::int64_t dt);
// Drops the reports between the front and the k-th (the front counts as the first) so that the
// k-th becomes the second; false, changing nothing, when it is missing or on the ground.
bool lf_shortenStreamTo(AiAircraft& a, std::size_t k);

// ---- Pushback and the stream's end (pushback.cpp, report_stream.cpp) ---------------------------

void lf_pullOut(AiAircraft& a);
void lf_pushbackWithTurn(AiAircraft& a);
// Steps to cover distNm at the taxi speed.
std::int64_t lf_taxiSteps(const AiAircraft& a, double distNm);
// After a touchdown on the way to the front report: the rest of the leg goes no faster than the
// aircraft rolls (a helicopter taxies), the report falling due later when it must.
void lf_rollRestOfLeg(AiAircraft& a);
// Fewer than two reports left: true when the stream was extended.
bool lf_streamEnd(AiAircraft& a);
// Appends a predicted report; false, appending none, when its descent would set the aircraft
// down out in the open: it is given up instead.
bool lf_predictedReport(AiAircraft& a, std::int32_t counter);
void lf_arriveAtStand(AiAircraft& a);
