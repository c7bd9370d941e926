// The per-category tables of the motion and the motion values a live aircraft is born with.
// Constant after static initialisation; read by the worker.
#include <stdexcept>

#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

//                                             Light   Buzjets  Large   Heavy   HighPerf Rotorcraft
const CategoryTable g_catRotateSpeedKt{90.0, 110.0, 140.0, 150.0, 220.0, 0.0};
// 0.01, 0.0085, 0.0075, 0.005, 0.03 and 0.03 degrees per step.
const CategoryTable g_catMaxPitchChange{0.00017453292519943296, 0.000148352986419518,
                                        0.00013089969389957473, 8.726646259971648e-05,
                                        0.0005235987755982989,  0.0005235987755982989};
// 40, 35, 30, 20, 90 and 75 degrees.
const CategoryTable g_catMaxBank{0.6981317007977318, 0.6108652381980153, 0.5235987755982988,
                                 0.3490658503988659, 1.5707963267948966, 1.3089969389957472};
// 0.035, 0.0275, 0.02, 0.015, 0.1 and 0.06 degrees per step.
const CategoryTable g_catMaxBankChange{0.0006108652381980154,  0.0004799655442984406,
                                       0.00034906585039886593, 0.00026179938779914946,
                                       0.0017453292519943294,  0.0010471975511965978};
// The fastest a take-off run or landing roll goes: half again the rotate speed. A helicopter does
// not roll: it taxies.
const CategoryTable g_catMaxRollKt{135.0, 165.0, 210.0, 225.0, 330.0, kMaxTaxiKt};
// Feet per step (0.5 ft a step is 3000 ft/min) and knots.
const CategoryTable g_catBirthClimbStep{0.5, 0.75, 0.6, 0.5, 1.0, 0.75};
const CategoryTable g_catBirthTaxiSpeedKt{5.0, 4.5, 4.0, 3.0, 4.5, 5.0};

double lf_groundSpeedLimitKt(const AiAircraft& a, const PositionReport& from,
                             const PositionReport& to) {
  const bool rolling = a.takeOffRun || a.landingRoll || to.airborne ||
                       from.groundSpeed >= kRollingKt || to.groundSpeed >= kRollingKt;
  return rolling ? g_catMaxRollKt.at(a.category) : kMaxTaxiKt;
}

void gf_initLiveMotion(AircraftHead& head) {
  head.turnStep = head.pitchRate;
  head.climbStep = g_catBirthClimbStep.at(head.category);
  head.taxiSpeed = g_catBirthTaxiSpeedKt.at(head.category);
}
