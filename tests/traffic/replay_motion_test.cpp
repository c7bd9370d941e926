// The replay scenarios: each one's reports through the parser and the motion, every check on
// what the simulator was sent; b from 4 nm out, e and m also through SimClient and the stand-in,
// a cruise reported beyond a shrunk traffic radius, a helicopter set down at its pad, and the
// emitter category making no helicopter.
#include <algorithm>
#include <sstream>
#include <string>

#include <fmt/format.h>

#include "foundation/random_pick.h"
#include "foundation/run_state.h"
#include "replay.h"
#include "traffic_test_support.h"

namespace {

class ReplayTest : public traffictest::TrafficTest,
                   public ::testing::WithParamInterface<std::string> {};

void expectPassed(const std::vector<replay::Check>& checks) {
  for (const replay::Check& c : checks) EXPECT_TRUE(c.passed) << c.name << ": " << c.detail;
}

}  // namespace

// A second run of the scenario sends the very same track: nothing depends on the draws of a
// generator seeded anew per process.
TEST_P(ReplayTest, EveryCheckPassesAndASecondRunSendsTheSame) {
  const replay::Scenario scenario = replay::gf_scenario(GetParam());
  std::string tracks[2];
  // As two processes would draw: the first six draws of these seeds differ in every sign.
  std::uint32_t processSeed = 1;
  for (std::string& track : tracks) {
    gf_rng().seed(processSeed);
    processSeed += 2;
    const replay::ReplayRun run = replay::gf_replay(scenario, {});
    EXPECT_FALSE(run.positions.empty());
    if (&track == &tracks[0]) expectPassed(replay::gf_checkRun(scenario, run));
    std::ostringstream out;
    replay::gf_writeTrack(run, out);
    track = out.str();
  }
  EXPECT_TRUE(tracks[0] == tracks[1]) << "the second run of " << GetParam() << " differs";
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ReplayTest, ::testing::ValuesIn(replay::scenarioNames()));

// The engine's steps and the stand-in's frames run 25 times faster than real time together.
TEST_F(ReplayTest, ThroughTheStandin) {
  for (const auto& [name, fromS] : {std::pair<std::string, double>{"b", 283.0}, {"e", 0.0}}) {
    replay::Scenario scenario = replay::gf_scenario(name);
    scenario.startS = fromS;  // b: the arrival 4 nm out
    replay::ReplayOptions options;
    options.standin = true;
    options.stepsPerFrame = 25;
    options.standinTrace = folder.path() / ("trace-" + name + ".jsonl");
    const replay::ReplayRun run = replay::gf_replay(scenario, options);
    SCOPED_TRACE(name);
    expectPassed(replay::gf_checkRun(scenario, run));
    expectPassed(replay::gf_checkStandinTrace(run, options.standinTrace));
  }
}

// The radius shrinks from 40 to 10 nm half a second after the simulator was asked to create an
// aircraft 30 nm away: its answer names the object all the same, which flies on and is removed
// at the close; nothing stays in creation.
TEST_F(ReplayTest, RadiusShrinkingUnderACreation) {
  const replay::Scenario scenario = replay::gf_scenario("m");
  replay::ReplayOptions options;
  options.standin = true;
  options.stepsPerFrame = 25;
  options.standinTrace = folder.path() / "trace-m.jsonl";
  const replay::ReplayRun run = replay::gf_replay(scenario, options);
  EXPECT_FALSE(run.positions.empty());
  expectPassed(replay::gf_checkRun(scenario, run));
  expectPassed(replay::gf_checkStandinTrace(run, options.standinTrace));
}

// The simulator names a created object only among the aircraft within the traffic radius. With
// reports taken at 40 nm and the radius down to 10 nm, an aircraft is created only from its
// first report inside 10 nm (before, it hung unidentified where it appeared for the whole run),
// then flies and leaves about 92 s after its last report; one that stays outside never comes in.
TEST_F(ReplayTest, ReportsTakenBeyondAShrunkRadius) {
  struct Case {
    double userEastNm;  // of the cruise's start, on its first heading
    double reportedS;
    bool comesIn;
  };
  gf_setTrafficRadius(10.0);
  for (const Case c : {Case{14.0, 120.0, true}, Case{30.0, 20.0, false}}) {
    replay::Scenario scenario = replay::gf_scenario("a");
    scenario.user = gf_destination(scenario.aircraft.at(0).position, kPi / 2.0,
                                   c.userEastNm * kFeetPerNm);
    scenario.durationS = c.reportedS;
    replay::ReplayOptions options;
    options.standin = true;
    options.stepsPerFrame = 25;
    options.standinTrace = folder.path() / fmt::format("trace-{}.jsonl", c.userEastNm);
    const replay::ReplayRun run = replay::gf_replay(scenario, options);
    SCOPED_TRACE(c.userEastNm);
    EXPECT_TRUE(run.problems.empty()) << run.problems.front();
    if (!c.comesIn) {
      EXPECT_TRUE(run.creations.empty() && run.positions.empty());
      continue;
    }
    ASSERT_FALSE(run.positions.empty());
    const AcPositionUpdate& first = run.positions.front().pose;
    EXPECT_LE(gf_distanceNm(scenario.user, {first.latitude, first.longitude}), 10.0);
    expectPassed(replay::gf_checkRun(scenario, run));
    expectPassed(replay::gf_checkStandinTrace(run, options.standinTrace));
  }
}

// A helicopter that comes down to a pad at the field and hovers to a stop is set down there, at
// its first ground report (slower than 30 kt within 100 ft of the field: short of the pad).
TEST_F(ReplayTest, AHelicopterHoveringToAStopIsSetDownAtItsPad) {
  constexpr std::uint32_t kLanding = 4000095;
  const replay::ReplayRun run = replay::gf_replay(replay::gf_scenario("r"), {});
  const LatLon pad = gf_destination(replay::kFieldPos, 0.0, 400.0 * kFeetPerNm / kMetresPerNm);
  const auto down = std::find_if(run.positions.begin(), run.positions.end(),
                                 [](const replay::SentPosition& p) {
                                   return p.key == kLanding && p.onGround;
                                 });
  ASSERT_NE(down, run.positions.end());
  EXPECT_LE(gf_distanceNm(pad, {down->pose.latitude, down->pose.longitude}) * kMetresPerNm, 400.0);
}

// Whether an aircraft is a helicopter goes by its type alone, in the intake as in the motion: b's
// A320 reporting emitter category A7 flies as it does with A3, and the helicopters of r, landing
// and lifting off at the field, fly as they do without a category.
TEST_F(ReplayTest, TheEmitterCategoryMakesNoHelicopter) {
  for (const auto& [name, category] :
       {std::pair<std::string, std::string>{"p0-3", "A7"}, {"r", ""}}) {
    std::string tracks[2];
    replay::Scenario scenario = replay::gf_scenario(name);
    for (std::string& track : tracks) {
      std::ostringstream out;
      replay::gf_writeTrack(replay::gf_replay(scenario, {}), out);
      track = out.str();
      for (fixtures::TrackAircraft& a : scenario.aircraft) a.category = category;
    }
    EXPECT_TRUE(tracks[0] == tracks[1]) << name << " with emitter category \"" << category << "\"";
  }
}
