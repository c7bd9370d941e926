// The touchdown: the simulator reports an aircraft on the ground. A landing one begins its
// landing roll (spoilers, levers, the nose coming down); any other only takes the on-ground
// state. Worker thread.
#include <fmt/format.h>

#include "foundation/log.h"
#include "traffic/motion/motion_internal.h"
#include "traffic/records/records.h"

void lf_touchdown(AiAircraft& a) {
  if (a.st == kStRemovingFromSim || a.fs == kFsTakeOff) {
    return;
  }
  if (a.takeOffStep != 0 || a.approach) {
    a.noseLowering = true;
    a.landingRoll = true;
    g_fastRangeRequest = false;
    a.touchdownHeading = a.heading;
    a.approach = false;
    a.turnaroundPending = true;
    lf_setSpoilers(a, kFullSpoilers);
    if (a.category != kCatLight) {
      lf_writeSpoilersAndLevers(a, true);
    }
    const std::uint32_t n = a.staticCgValue;  // steps over which the nose comes down
    if (n > 0) {
      a.pitchChange = (a.groundPitch - a.pitch) / static_cast<double>(n);
      a.bankChange = -a.bank / static_cast<double>(n);
    } else {
      gf_logError(fmt::format("{} ! onGround slots {:.1F}", a.callsign, static_cast<double>(n)));
      a.pitchChange = a.groundPitch;
      a.bankChange = 0.0;
    }
    g_newLiveIds.push_back(a.key);
  }
  a.onGround = true;
  a.climbRate = 0.0;
  a.takeOffStep = 1;
  lf_rollRestOfLeg(a);  // the leg's velocity was set in the air
}
