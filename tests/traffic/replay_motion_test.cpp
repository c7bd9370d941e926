// The replay scenarios: each one's reports through the parser and the motion, every check on
// what the simulator was sent; b from 4 nm out and e also through SimClient and the stand-in.
#include <sstream>
#include <string>

#include "foundation/random_pick.h"
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
