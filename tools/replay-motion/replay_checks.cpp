// The replay's checks: what every position sent must satisfy, the events each aircraft must go
// through in order, and, with the stand-in, that every frame shows what was sent.
#include <algorithm>
#include <cmath>
#include <fstream>
#include <limits>
#include <set>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

#include "intake/traffic_parser.h"
#include "replay.h"
#include "traffic/motion/motion_internal.h"

namespace replay {

namespace {

constexpr double kMaxHeadingStepRad = 8.0 * kDegToRad;
constexpr double kMaxNoseDownRad = 3.0 * kDegToRad;
constexpr double kCruiseLagS = 30.0;
constexpr double kCruiseLagNm = 0.3;
constexpr double kStraightAroundS = 15.0;   // no turn this long before and after: straight cruise
constexpr double kHeadingHeldRad = 0.5 * kDegToRad;
constexpr double kOnStandNm = 0.1 / kMetresPerNm;
constexpr double kRemovalToleranceS = 10.0;
constexpr double kClimbOnFinalFt = 20.0;
constexpr std::size_t kNoseWindowSteps = 100;   // the motion's direction over one second
constexpr double kNoseOffMotionRad = 30.0 * kDegToRad;
constexpr double kBandFt = 110.0;         // above and below the reports of the leg flown
constexpr double kRateMarginFpm = 500.0;  // above the faster of their rates
constexpr double kFpmPerFtPerStep = 6000.0;
constexpr std::size_t kSecondSteps = 100;
constexpr double kLowFt = 200.0;            // above the field: the last of an approach
constexpr double kSteepestLowFpm = 1500.0;  // the steepest descent there
constexpr double kLevelFpm = 100.0;         // slower than this counts as level
constexpr double kLevelOverRunwayM = 50.0;  // the most an arrival flies level over the runway

// Collects the first failure of a check.
struct Checker {
  Check check;
  explicit Checker(std::string name) { check.name = std::move(name); }
  void expect(bool ok, const std::string& what) {
    if (!ok && check.passed) {
      check.passed = false;
      check.detail = what;
    }
  }
};

double lf_maxStepNm(const ReplayRun& run, std::uint32_t key) {
  return (1.3 * run.topSpeedKt.at(key) + 30.0) / kStepsPerHour;
}

using Tracks = std::map<std::uint32_t, std::vector<const SentPosition*>>;

Tracks lf_byKey(const ReplayRun& run) {
  Tracks byKey;
  for (const SentPosition& p : run.positions) byKey[p.key].push_back(&p);
  return byKey;
}

// One track per object: an aircraft created again may appear anywhere.
std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<const SentPosition*>> lf_byObject(
    const ReplayRun& run) {
  std::map<std::pair<std::uint32_t, std::uint32_t>, std::vector<const SentPosition*>> byObject;
  for (const SentPosition& p : run.positions) byObject[{p.key, p.pose.objectId}].push_back(&p);
  return byObject;
}

// The milestones of one aircraft's events.
std::vector<std::string> lf_milestonesOf(const ReplayRun& run, std::uint32_t key) {
  ReplayRun own;
  std::copy_if(run.events.begin(), run.events.end(), std::back_inserter(own.events),
               [key](const SentEvent& e) { return e.key == key; });
  return gf_milestones(own);
}

std::string lf_at(const SentPosition& p) { return fmt::format("key {} step {}", p.key, p.step); }

void lf_checkPoses(const ReplayRun& run, std::vector<Check>& out) {
  Checker finite("no NaN or infinity"), moves("per-step movement"), turns("heading change"),
      pitch("pitch"), bank("bank"), pushback("straight pushback"), parked("parked on the stand"),
      ground("on the ground no faster than it taxies or rolls"),
      field("on the ground only near the airport");
  for (const auto& [object, track] : lf_byObject(run)) {
    const std::uint32_t key = object.first;
    const double maxBank = std::max(g_catMaxBank.at(run.category.at(key)),
                                    run.maxRollRad.contains(key) ? run.maxRollRad.at(key) : 0.0);
    const double pitchFloor = run.climbPitch.at(key) - run.pitchRate.at(key);
    const SentPosition* pushStart = nullptr;
    for (std::size_t i = 0; i < track.size(); ++i) {
      const SentPosition& p = *track[i];
      const AcPositionUpdate& q = p.pose;
      field.expect(!p.onGround ||
                       gf_distanceNm(kFieldPos, {q.latitude, q.longitude}) <= kParkGroundRadiusNm,
                   lf_at(p));
      finite.expect(std::isfinite(q.latitude) && std::isfinite(q.longitude) &&
                        std::isfinite(q.pitch) && std::isfinite(q.bank) &&
                        std::isfinite(q.heading) && std::isfinite(q.altitude) &&
                        std::isfinite(q.verticalSpeed) && std::isfinite(q.trueAirspeed),
                    lf_at(p));
      pitch.expect(q.pitch >= pitchFloor && q.pitch <= kMaxNoseDownRad,
                   fmt::format("{}: {:.4f} rad", lf_at(p), q.pitch));
      bank.expect(std::fabs(q.bank) <= maxBank + 1e-9, fmt::format("{}: {:.4f}", lf_at(p), q.bank));
      if (i > 0) {
        const SentPosition& b = *track[i - 1];
        const double steps = static_cast<double>(p.step - b.step);
        const double nm = gf_distanceNm({b.pose.latitude, b.pose.longitude},
                                        {q.latitude, q.longitude});
        moves.expect(nm <= lf_maxStepNm(run, key) * steps, fmt::format("{}: {:.5f} nm", lf_at(p), nm));
        turns.expect(std::fabs(gf_angleDiff(b.pose.heading, q.heading)) <= kMaxHeadingStepRad * steps,
                     lf_at(p));
        if (p.onGround && b.onGround && p.fs != kFsTakeOff) {
          const bool rolling = p.rolling || p.groundSpeed >= kRollingKt;
          const double limitKt = rolling ? g_catMaxRollKt.at(run.category.at(key)) : kMaxTaxiKt;
          const double kt = nm * kStepsPerHour / steps;
          ground.expect(kt <= limitKt, fmt::format("{}: {:.0f} kt", lf_at(p), kt));
        }
      }
      const bool straightBack = p.fs == kFsPushingBack && !p.curve;
      if (straightBack) {
        if (pushStart == nullptr) pushStart = &p;
        pushback.expect(q.trueAirspeed < 0.0 &&
                            std::fabs(gf_angleDiff(pushStart->pose.heading, q.heading)) <=
                                kHeadingHeldRad,
                        lf_at(p));
      } else if (p.fs != kFsPushingBack) {
        pushStart = nullptr;
      }
      if (p.fs == kFsParked && run.parkedOn.contains(key)) {
        const StandPlace& s = run.parkedOn.at(key);
        parked.expect(gf_distanceNm({s.lat, s.lon}, {q.latitude, q.longitude}) <= kOnStandNm &&
                          (i == 0 || track[i - 1]->fs != kFsParked ||
                           (track[i - 1]->pose.latitude == q.latitude &&
                            track[i - 1]->pose.longitude == q.longitude)),
                      lf_at(p));
      }
    }
  }
  for (Checker* c :
       {&finite, &moves, &turns, &pitch, &bank, &pushback, &parked, &ground, &field}) {
    out.push_back(c->check);
  }
}

// Between two reports in the air the aircraft keeps within about 100 ft of their band (an
// aeroplane on its approach may go below level reports by QNH), and its vertical rate within
// about 500 ft/min of the fastest of theirs and the rate between them. A helicopter is set down
// only with a ground report or predicted reports ahead.
void lf_checkHeights(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  Checker band("within 100 ft of the band of its reports"), rate("vertical rate as its reports"),
      setDown("a helicopter set down only with a ground report or predictions ahead"),
      air("never on the ground");
  const auto sameLeg = [](const SentPosition& p, const SentPosition& b) {
    return p.from.due == b.from.due && p.to.due == b.to.due &&
           p.from.altitudeFt == b.from.altitudeFt && p.to.altitudeFt == b.to.altitudeFt;
  };
  for (const auto& [object, track] : lf_byObject(run)) {
    const bool helicopter = run.category.at(object.first) == kCatRotorcraft;
    for (std::size_t i = 0; i < track.size(); ++i) {
      const SentPosition& p = *track[i];
      air.expect(!s.airborneOnly || !p.onGround, lf_at(p));
      const double low = p.approach && !helicopter
                             ? -std::numeric_limits<double>::infinity()
                             : std::min(p.from.altitudeFt, p.to.altitudeFt) - kBandFt;
      const double high = std::max(p.from.altitudeFt, p.to.altitudeFt) + kBandFt;
      band.expect(!p.betweenAirborne || (p.pose.altitude >= low && p.pose.altitude <= high),
                  fmt::format("{}: {:.0f} ft between reports at {:.0f} and {:.0f} ft", lf_at(p),
                              p.pose.altitude, p.from.altitudeFt, p.to.altitudeFt));
      if (i == 0) continue;
      const SentPosition& b = *track[i - 1];
      setDown.expect(!helicopter || !p.onGround || b.onGround || p.landingAhead ||
                         b.landingAhead,
                     lf_at(p));
      if (!p.betweenAirborne || !b.betweenAirborne || p.step != b.step + 1 || !sameLeg(p, b)) {
        continue;
      }
      const double span = std::max<double>(static_cast<double>(p.to.due - p.from.due),
                                           static_cast<double>(kMinLegSteps));
      const double between = (p.to.altitudeFt - p.from.altitudeFt) / span * kFpmPerFtPerStep;
      const double fastest = std::max({std::fabs(p.from.verticalFpm),
                                       std::fabs(p.to.verticalFpm), std::fabs(between)});
      const double fpm = (p.pose.altitude - b.pose.altitude) * kFpmPerFtPerStep;
      rate.expect(std::fabs(fpm) <= fastest + kRateMarginFpm,
                  fmt::format("{}: {:.0f} ft/min, reports {:.0f} ft/min", lf_at(p), fpm, fastest));
    }
  }
  for (Checker* c : {&band, &rate, &setDown, &air}) out.push_back(c->check);
}

// Aircraft that stay parked on the ground, or in the air, from their creation to their removal.
void lf_checkThroughout(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  Checker where("parked throughout, or in the air throughout");
  for (const auto& expected : s.parkedThroughout) {
    where.expect(run.creations.contains(expected.first),
                 fmt::format("key {} not created", expected.first));
  }
  for (const SentPosition& p : run.positions) {
    const auto parked = s.parkedThroughout.find(p.key);
    if (parked == s.parkedThroughout.end()) continue;
    where.expect(parked->second ? p.onGround && p.fs == kFsParked : !p.onGround, lf_at(p));
  }
  out.push_back(where.check);
}

// A flying aircraft's nose points where it goes: never sideways along its reports.
void lf_checkNose(const ReplayRun& run, std::vector<Check>& out) {
  Checker nose("nose along the motion");
  for (const auto& [object, track] : lf_byObject(run)) {
    for (std::size_t i = kNoseWindowSteps; i < track.size(); ++i) {
      const SentPosition& p = *track[i];
      const SentPosition& b = *track[i - kNoseWindowSteps];
      if (p.fs != kFsFlying || b.fs != kFsFlying ||
          p.step - b.step != static_cast<std::int64_t>(kNoseWindowSteps)) {
        continue;
      }
      const double motion = gf_bearing({b.pose.latitude, b.pose.longitude},
                                       {p.pose.latitude, p.pose.longitude});
      const double off = std::fabs(gf_angleDiff(motion, p.pose.heading));
      nose.expect(off <= kNoseOffMotionRad,
                  fmt::format("{}: {:.1f} degrees off", lf_at(p), off * kRadToDeg));
    }
  }
  out.push_back(nose.check);
}

// The aircraft follows its reports 30 s late: on straight cruise it stands near where the track
// was 30 s earlier.
void lf_checkLag(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  Checker lag("straight cruise lag");
  for (const fixtures::TrackAircraft& a : s.aircraft) {
    const fixtures::FlownTrack flown = fixtures::flyTrack(a);
    const auto stateAt = [&flown](double t) -> const fixtures::TrackState* {
      const double first = flown.states.front().t;
      const auto i = static_cast<std::ptrdiff_t>(std::llround((t - first) / fixtures::kTrackStepS));
      return i < 0 || i >= static_cast<std::ptrdiff_t>(flown.states.size()) ? nullptr
                                                                            : &flown.states[i];
    };
    for (const SentPosition& p : run.positions) {
      const double t = s.startS + static_cast<double>(p.step) / 100.0 - kCruiseLagS;
      const fixtures::TrackState* truth = stateAt(t);
      if (p.key != a.id || truth == nullptr || t > run.lastReportS.at(a.id)) continue;
      bool straight = true;
      for (double u = t - kStraightAroundS; u <= t + kStraightAroundS && straight; u += 1.0) {
        const fixtures::TrackState* around = stateAt(u);
        straight = around != nullptr && around->turnDegPerS == 0.0;
      }
      if (!straight) continue;
      const double nm = gf_distanceNm(truth->position, {p.pose.latitude, p.pose.longitude});
      lag.expect(nm <= kCruiseLagNm, fmt::format("{}: {:.3f} nm", lf_at(p), nm));
    }
  }
  out.push_back(lag.check);
}

void lf_checkLife(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  Checker once("created and removed once"), removal("removal after the last report"),
      milestones("milestones in order"), descent("no climb on final"), errors("no engine errors");
  for (const auto& [key, count] : run.creations) {
    const int removed = run.removals.contains(key) ? run.removals.at(key) : 0;
    once.expect(!s.lives.empty() || (count == 1 && removed == 1),
                fmt::format("key {}: {} / {}", key, count, removed));
    if (s.removalAfterLastReportS > 0.0 && run.removalStep.contains(key)) {
      const double after = s.startS + static_cast<double>(run.removalStep.at(key)) / 100.0 -
                           run.lastReportS.at(key);
      removal.expect(std::fabs(after - s.removalAfterLastReportS) <= kRemovalToleranceS,
                     fmt::format("key {}: {:.1f} s", key, after));
    }
    const std::vector<std::string> seen = lf_milestonesOf(run, key);
    auto at = seen.begin();
    for (const std::string& m : s.milestones) {
      at = std::find(at, seen.end(), m);
      milestones.expect(at != seen.end(), fmt::format("key {}: no {} in {}", key, m,
                                                      fmt::join(seen, ", ")));
      if (at == seen.end()) break;
    }
  }
  const bool arrivals = std::count(s.milestones.begin(), s.milestones.end(), "approach") > 0;
  for (const auto& [object, track] : lf_byObject(run)) {
    double lowest = 1e9;
    for (const SentPosition* p : track) {
      if (p->fs != kFsFlying || !arrivals) break;
      lowest = std::min(lowest, p->pose.altitude);
      descent.expect(p->pose.altitude <= lowest + kClimbOnFinalFt, lf_at(*p));
    }
  }
  for (const std::string& line : run.logLines) errors.expect(false, line);
  for (Checker* c : {&once, &removal, &milestones, &descent, &errors}) out.push_back(c->check);
}

// How each arrival landed against the scenario's limits: no later than it should, not long level
// over the runway, not steeply down near the ground.
void lf_checkLandings(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  Checker late("touchdown no later than it should"), level("not long level over the runway"),
      steep("no steep descent below 200 ft");
  for (const auto& [key, count] : run.creations) {
    const LandingFigures f = gf_landingFigures(run, key);
    if (!f.touchedDown || run.category.at(key) == kCatRotorcraft) continue;  // runway figures
    late.expect(s.touchdownPastAtMostM == 0.0 || f.touchdownPastM <= s.touchdownPastAtMostM,
                fmt::format("key {}: {:.0f} m past the reported touchdown", key, f.touchdownPastM));
    level.expect(f.levelOverRunwayM <= kLevelOverRunwayM,
                 fmt::format("key {}: level for {:.0f} m", key, f.levelOverRunwayM));
    steep.expect(f.steepestLowDescentFpm <= kSteepestLowFpm,
                 fmt::format("key {}: {:.0f} ft/min", key, f.steepestLowDescentFpm));
  }
  for (Checker* c : {&late, &level, &steep}) out.push_back(c->check);
}

// Traffic in groups: each aircraft has its record within a second of its first report, and all
// are created nearest to the user (at their first reports) first, one every 50 steps as the
// engine paces creations.
void lf_checkGroups(const Scenario& s, const ReplayRun& run, std::vector<Check>& out) {
  constexpr std::int64_t kStepsPerSecond = 100;
  constexpr std::int64_t kCreationEverySteps = 50;
  Checker taken("every aircraft taken with its first report"), nearest("nearest created first"),
      paced("one creation every 50 steps");
  for (const auto& [key, first] : run.firstReports) {
    const auto held = run.firstRecordStep.find(key);
    const std::int64_t after = held == run.firstRecordStep.end() ? -1 : held->second - first.step;
    taken.expect(after >= 0 && after < kStepsPerSecond,
                 fmt::format("key {}: a record {} steps after its first report", key, after));
  }
  paced.expect(run.creationsSent.size() == s.aircraft.size(),
               fmt::format("{} of {} created", run.creationsSent.size(), s.aircraft.size()));
  const auto firstNm = [&](std::uint32_t key) {
    const auto first = run.firstReports.find(key);
    return first == run.firstReports.end() ? 0.0 : gf_distanceNm(s.user, first->second.at);
  };
  for (std::size_t i = 1; i < run.creationsSent.size(); ++i) {
    const ReplayRun::Creation& a = run.creationsSent[i - 1];
    const ReplayRun::Creation& b = run.creationsSent[i];
    nearest.expect(firstNm(b.key) >= firstNm(a.key),
                   fmt::format("key {} at {:.2f} nm after key {} at {:.2f} nm", b.key,
                               firstNm(b.key), a.key, firstNm(a.key)));
    paced.expect(b.step - a.step == kCreationEverySteps,
                 fmt::format("key {} {} steps after key {}", b.key, b.step - a.step, a.key));
  }
  for (Checker* c : {&taken, &nearest, &paced}) out.push_back(c->check);
}

}  // namespace

std::vector<std::string> gf_milestones(const ReplayRun& run) {
  std::vector<std::string> seen;
  const auto add = [&seen](const char* m) {
    if (seen.empty() || seen.back() != m) seen.emplace_back(m);
  };
  const std::vector<SentEvent>& e = run.events;
  for (std::size_t i = 0; i < e.size(); ++i) {
    const auto is = [&e](std::size_t k, std::uint32_t id, std::uint32_t data) {
      return k < e.size() && e[k].eventId == id && e[k].data == data;
    };
    if (e[i].eventId == kEventNavLightsSet && i + 6 < e.size()) {
      const LightGroup g{e[i].data,     e[i + 1].data, e[i + 2].data, e[i + 3].data,
                         e[i + 4].data, e[i + 5].data, e[i + 6].data};
      const auto same = [&g](const LightGroup& h) {
        return g.nav == h.nav && g.beacon == h.beacon && g.landing == h.landing &&
               g.taxi == h.taxi && g.strobes == h.strobes && g.logo == h.logo && g.cabin == h.cabin;
      };
      if (same(kLightsBelow10000) || same(kLightsCruise)) add("lights at 10000 ft");
      if (same(kLightsTakeOff)) add("run");
      if (same(kLightsTaxiIn)) add("turn-off");
      if (same(kLightsLeavingStand)) add("pushback");
    }
    const bool afterApproach = !seen.empty() && seen.back() == std::string("approach");
    const bool afterTouchdown = !seen.empty() && seen.back() == std::string("touchdown");
    if (is(i, kEventFlapsSet, kFlapsValues[3])) add("approach");
    if (is(i, kEventThrottleSet, 0) && afterApproach) add("flare");
    if (is(i, kEventSpoilersSet, kFullSpoilers)) add("touchdown");
    if (is(i, kEventSpoilersSet, 0) && afterTouchdown) add("roll-out");
    if (e[i].eventId == kEventEngineAutoShutdown) add("arrival");
    if (e[i].eventId == kEventEngineAutoStart) add("taxi");
    if (is(i, kEventGearSet, 0)) add("gear up");
    if (is(i, kEventThrottleSet, kThrottleValues[3])) add("climb power");
  }
  return seen;
}

LandingFigures gf_landingFigures(const ReplayRun& run, std::uint32_t key) {
  std::vector<const SentPosition*> track;
  for (const SentPosition& p : run.positions) {
    if (p.key == key) track.push_back(&p);
  }
  // Metres along runway 09 from the reported touchdown.
  const auto along = [](const AcPositionUpdate& q) {
    const double m = gf_distanceNm(kReportedTouchdown, {q.latitude, q.longitude}) * kMetresPerNm;
    return q.longitude >= kReportedTouchdown.lon ? m : -m;
  };
  LandingFigures f;
  for (std::size_t i = 1; i < track.size(); ++i) {
    const SentPosition& p = *track[i];
    const SentPosition& b = *track[i - 1];
    if (p.onGround && !b.onGround) {
      f.touchedDown = true;
      f.touchdownPastM = along(p.pose);
      return f;
    }
    if (p.onGround || i < kSecondSteps) continue;
    const SentPosition& second = *track[i - kSecondSteps];
    if (p.step - second.step != static_cast<std::int64_t>(kSecondSteps)) continue;
    const double fpm = (p.pose.altitude - second.pose.altitude) * 60.0;
    if (p.pose.altitude - run.fieldElevationFt < kLowFt) {
      f.steepestLowDescentFpm = std::max(f.steepestLowDescentFpm, -fpm);
    }
    if (along(p.pose) >= 0.0 && std::fabs(fpm) < kLevelFpm) {
      f.levelOverRunwayM += gf_distanceNm({b.pose.latitude, b.pose.longitude},
                                          {p.pose.latitude, p.pose.longitude}) *
                            kMetresPerNm;
    }
  }
  return f;
}

std::vector<Check> gf_checkRun(const Scenario& scenario, const ReplayRun& run) {
  std::vector<Check> checks;
  lf_checkPoses(run, checks);
  lf_checkHeights(scenario, run, checks);
  if (!scenario.parkedThroughout.empty()) lf_checkThroughout(scenario, run, checks);
  lf_checkLandings(scenario, run, checks);
  if (scenario.straightCruiseLag) lf_checkLag(scenario, run, checks);
  if (scenario.noseAlongMotion) lf_checkNose(run, checks);
  lf_checkLife(scenario, run, checks);
  if (scenario.groupEveryS > 0.0) lf_checkGroups(scenario, run, checks);
  Checker records("every object created and removed once, no record stuck, no stand lost");
  for (const std::string& p : run.problems) records.expect(false, p);
  checks.push_back(records.check);
  if (scenario.maxLive >= 0) {
    Checker maxLive("never more live objects than MAX_LIVE");
    maxLive.expect(run.stepsAboveMaxLive == 0,
                   fmt::format("{} objects, more than {} for {} steps", run.mostLiveObjects,
                               scenario.maxLive, run.stepsAboveMaxLive));
    checks.push_back(maxLive.check);
  }
  if (!scenario.lives.empty()) {
    Checker lives("the life of every callsign");
    for (const auto& [callsign, life] : run.lives) {
      const auto expected = scenario.lives.find(callsign);
      lives.expect(expected != scenario.lives.end() && expected->second == life,
                   fmt::format("{}: {}", callsign, fmt::join(life, ", ")));
    }
    lives.expect(run.lives.size() == scenario.lives.size(), "callsigns missing");
    checks.push_back(lives.check);
  }
  return checks;
}

std::vector<Check> gf_checkStandinTrace(const ReplayRun& run, const std::filesystem::path& trace) {
  Checker shown("every frame shows a position sent, in order"), frames("per-frame movement"),
      objects("objects created and removed once by the simulator");
  std::map<std::uint32_t, std::uint32_t> keys;  // object id -> key
  for (const auto& [key, id] : run.objectIds) keys[id] = key;
  const auto byKey = lf_byKey(run);
  std::map<std::uint32_t, std::size_t> matched;  // key -> index of the last position shown
  std::map<std::uint32_t, int> created, removed;
  std::ifstream in(trace);
  for (std::string line; std::getline(in, line);) {
    const nlohmann::json j = nlohmann::json::parse(line);
    const std::string kind = j.value("kind", "");
    if (kind == "created") ++created[j["id"].get<std::uint32_t>()];
    if (kind == "removed") ++removed[j["id"].get<std::uint32_t>()];
    if (kind != "frame") continue;
    for (const nlohmann::json& o : j["objects"]) {
      const auto key = keys.find(o["id"].get<std::uint32_t>());
      if (key == keys.end() || !byKey.contains(key->second)) continue;
      const std::vector<const SentPosition*>& track = byKey.at(key->second);
      const double lat = o["lat"], lon = o["lon"], alt = o["alt"];
      const std::size_t from = matched.contains(key->second) ? matched[key->second] : 0;
      std::size_t i = from;
      // The stand-in keeps angles in its own units: equal up to the last bits.
      const auto same = [&](const AcPositionUpdate& q) {
        return std::fabs(q.latitude - lat) < 1e-9 && std::fabs(q.longitude - lon) < 1e-9 &&
               std::fabs(q.altitude - alt) < 1e-6;
      };
      while (i < track.size() && !same(track[i]->pose)) ++i;
      if (!matched.contains(key->second)) {  // the creation pose until the first position
        if (i < track.size()) matched[key->second] = i;
        continue;
      }
      shown.expect(i < track.size(), fmt::format("frame {} object {}", j["frame"].dump(), key->first));
      if (i >= track.size()) continue;
      const SentPosition& a = *track[from];
      const SentPosition& b = *track[i];
      const double nm = gf_distanceNm({a.pose.latitude, a.pose.longitude}, {lat, lon});
      frames.expect(nm <= lf_maxStepNm(run, key->second) * static_cast<double>(b.step - a.step) + 1e-9,
                    fmt::format("frame {}: {:.5f} nm", j["frame"].dump(), nm));
      matched[key->second] = i;
    }
  }
  objects.expect(created.size() == run.creations.size(), "creations");
  // Airliners that touched down: spoilers and reversers out, then in on the roll-out.
  Checker levers("spoilers and levers at touchdown and roll-out");
  for (const auto& [key, category] : run.category) {
    const std::vector<std::string> seen = lf_milestonesOf(run, key);
    if (category == kCatLight || std::find(seen.begin(), seen.end(), "touchdown") == seen.end()) {
      continue;
    }
    const auto& writes = run.leverWrites.contains(key) ? run.leverWrites.at(key)
                                                       : std::vector<std::array<double, 3>>{};
    levers.expect(writes.size() >= 2 && writes.front() == std::array<double, 3>{100, 100, 100} &&
                      writes.back() == std::array<double, 3>{0, 0, 0},
                  fmt::format("key {}: {} writes", key, writes.size()));
  }
  for (const auto& [id, n] : created) {
    objects.expect(n == 1 && removed[id] == 1, fmt::format("object {}", id));
  }
  return {shown.check, frames.check, objects.check, levers.check};
}

void gf_writeTrack(const ReplayRun& run, std::ostream& out) {
  for (const SentPosition& p : run.positions) {
    const AcPositionUpdate& q = p.pose;
    out << nlohmann::json{{"step", p.step}, {"key", p.key},       {"lat", q.latitude},
                          {"lon", q.longitude}, {"alt", q.altitude}, {"pitch", q.pitch},
                          {"bank", q.bank},     {"heading", q.heading}, {"vs", q.verticalSpeed},
                          {"tas", q.trueAirspeed}, {"fs", p.fs}}
               .dump()
        << "\n";
  }
}

}  // namespace replay
