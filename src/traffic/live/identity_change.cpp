// A report that changes a live aircraft's identity: a new route, registration or callsign. An
// aircraft still waiting takes the new texts; an active one may respawn with its new identity
// (GUID_CHANGES), so that its livery matches again. Worker thread.
#include <optional>

#include <fmt/format.h>

#include "airports/airports.h"
#include "liveries/database_queries.h"
#include "liveries/livery_matching.h"
#include "liveries/matching_tables.h"
#include "traffic/live/live_internal.h"
#include "traffic/motion/motion.h"
#include "traffic/records/records.h"

namespace {

constexpr char kGhostMark = '_';

bool lf_differs(const std::string& reported, const std::string& held) {
  return !reported.empty() && reported != held;
}

bool lf_routeChange(AiAircraft& a, const TrafficReport& r) {
  if (!r.destination.empty() && a.destination.empty()) a.destination = r.destination;
  if (!r.origin.empty() && a.origin.empty()) a.origin = r.origin;
  if (!lf_differs(r.origin, a.origin) || !lf_differs(r.destination, a.destination)) return false;
  // Back from the park airport to where it came from: the same rotation, not a new flight.
  if (!g_parkAirportName.empty() && a.origin == g_parkAirportName && r.destination == a.origin) {
    return false;
  }
  a.origin = r.origin;
  a.destination = r.destination;
  if (a.onGround && a.fs != kFsParking && a.fs != kFsParked) {
    lf_setPhase(a, kFsTaxi);
    a.bearing = a.heading;
  }
  return true;
}

bool lf_registrationChange(AiAircraft& a, const TrafficReport& r) {
  if (r.registration.empty() || r.registration == a.registration) return false;
  if (a.registration.empty()) {
    const std::string_view title = gf_liveryFromReg(r.registration);
    if (title.empty() || title == a.livery) return false;
  }
  a.registration = r.registration;
  if (const std::optional<RegInfo> entry = gf_regInfo(r.registration)) {
    if (gf_isKnownAirline(entry->airl)) a.airline = entry->airl;
    if (!entry->type.empty()) a.type = entry->type;
  }
  g_liveryById.erase(a.key);
  a.livery = {};
  // Only a respawn matches the livery again; without one the aircraft keeps its phase.
  if (g_paramGuidChanges.value()) lf_setPhase(a, kFsBirth);
  return true;
}

// False refuses the report: its callsign is the ghost of a live one.
bool lf_callsignChange(AiAircraft& a, const TrafficReport& r, bool& changed) {
  const std::string& cs = r.callsign;
  if (cs.empty() || cs == a.callsign || cs == a.registration) return true;
  if (cs.back() == kGhostMark) {
    if (lf_isUnderscoreCopy(cs)) return false;
  } else {
    lf_ghostCheck(cs);
  }
  gf_setCallsign(a, cs);
  a.text6 = cs;
  a.text7.clear();
  changed = true;
  return true;
}

}  // namespace

bool lf_identityChange(AiAircraft& a, const TrafficReport& r) {
  if (a.takeOffRun || a.approach) return true;
  if (a.st == kStBuffer) {
    if (lf_differs(r.origin, a.origin)) a.origin = r.origin;
    if (lf_differs(r.destination, a.destination)) a.destination = r.destination;
    if (lf_differs(r.callsign, a.callsign)) gf_setCallsign(a, r.callsign);
    if (lf_differs(r.registration, a.registration)) a.registration = r.registration;
    return true;
  }
  if (a.st != kStActive || a.fs == kFsPushingBack || a.predictedReports > 0) return true;
  bool changed = lf_routeChange(a, r);
  changed = lf_registrationChange(a, r) || changed;
  if (!lf_callsignChange(a, r, changed)) return false;
  if (!changed || !g_paramGuidChanges.value()) return true;
  lf_logUnderLog(fmt::format("          {} respawns", gf_routeAndCallsign(a)));
  liveryRespawn(a);
  return false;
}
