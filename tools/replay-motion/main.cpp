// replay-motion --scenario NAME [--from SECONDS] [--standin] [--out FILE]: replays one scenario
// (from a recording second on) through the engine's motion, prints each check and writes the
// sent track as JSON lines (by default replay-NAME.jsonl beside the program, in the build
// tree). Exits 1 when a check fails, 2 on bad arguments.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <fmt/format.h>
#include <fmt/ranges.h>

#include "foundation/aircraft_defs.h"
#include "foundation/log.h"
#include "replay.h"

int main(int argc, char** argv) {
  std::string name;
  std::string trackFile;
  replay::ReplayOptions options;
  double fromS = 0.0;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--scenario" && i + 1 < argc) {
      name = argv[++i];
    } else if (arg == "--out" && i + 1 < argc) {
      trackFile = argv[++i];
    } else if (arg == "--from" && i + 1 < argc) {
      fromS = std::stod(argv[++i]);
    } else if (arg == "--standin") {
      options.standin = true;
    } else {
      name.clear();
      break;
    }
  }
  if (name.empty()) {
    std::fprintf(stderr,
                 "usage: replay-motion --scenario %s [--from SECONDS] [--standin] [--out FILE]\n",
                 fmt::format("{}", fmt::join(replay::scenarioNames(), "|")).c_str());
    return 2;
  }
  try {
    replay::Scenario scenario = replay::gf_scenario(name);
    scenario.startS = std::max(scenario.startS, fromS);
    if (trackFile.empty()) {
      const std::filesystem::path program = std::filesystem::absolute(argv[0]);
      const std::filesystem::path beside =
          program.parent_path() / fmt::format("replay-{}.jsonl", name);
      trackFile = beside.lexically_normal().string();
    }
    trackFile = std::filesystem::absolute(trackFile).string();
    // The engine's Log.txt and the link's SimConnect.cfg go into a folder of their own.
    const std::filesystem::path work =
        std::filesystem::temp_directory_path() / fmt::format("replay-motion-{}", name);
    std::filesystem::create_directories(work);
    std::filesystem::current_path(work);
    options.standinTrace = work / "standin-trace.jsonl";
    gf_openLog();
    const replay::ReplayRun run = replay::gf_replay(scenario, options);
    std::vector<replay::Check> checks = replay::gf_checkRun(scenario, run);
    if (options.standin) {
      for (const replay::Check& c : replay::gf_checkStandinTrace(run, options.standinTrace)) {
        checks.push_back(c);
      }
    }
    for (const auto& [callsign, life] : run.lives) {
      std::printf("life %-9s %s\n", callsign.c_str(), fmt::format("{}", fmt::join(life, ", ")).c_str());
    }
    for (const auto& [key, count] : run.creations) {
      const replay::LandingFigures f = replay::gf_landingFigures(run, key);
      if (!f.touchedDown || run.category.at(key) == kCatRotorcraft) continue;
      std::printf("landing %u: %.0f m past the reported touchdown, %.0f m level over the runway, "
                  "%.0f ft/min steepest below 200 ft\n",
                  key, f.touchdownPastM, f.levelOverRunwayM, f.steepestLowDescentFpm);
    }
    std::ofstream out(trackFile);
    replay::gf_writeTrack(run, out);
    bool passed = true;
    for (const replay::Check& c : checks) {
      std::printf("%-4s %s%s%s\n", c.passed ? "ok" : "FAIL", c.name.c_str(),
                  c.detail.empty() ? "" : ": ", c.detail.c_str());
      passed = passed && c.passed;
    }
    std::printf("sent track: %s (%zu positions); log: %s\n", trackFile.c_str(),
                run.positions.size(), (work / "Log.txt").c_str());
    gf_closeLog();
    return passed ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "replay-motion: %s\n", e.what());
    return 2;
  }
}
