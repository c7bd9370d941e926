// rt-standin: RealTraffic's side of the program's RealTraffic link and UDP feeds.
#include <fmt/format.h>

#include <csignal>
#include <cstdio>
#include <exception>

#include "rt-standin/rt_standin.h"

namespace {

std::atomic<bool> g_stop{false};
std::atomic<bool> g_release{false};  // SIGUSR1: a held replay may start

extern "C" void lf_onSignal(int) {
  g_stop = true;
}

extern "C" void lf_onRelease(int) {
  g_release = true;
}

// With --hold, waits for SIGUSR1 (or a stop); the link is served meanwhile.
void lf_waitForRelease(const rtstandin::Options& options, rtstandin::LineLog& log) {
  if (!options.hold) return;
  log.write("replay held until SIGUSR1");
  while (!g_stop.load() && !g_release.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
}

void lf_addReport(rtstandin::ReplayReport& total, const rtstandin::ReplayReport& once) {
  total.trafficSent += once.trafficSent;
  total.weatherSent += once.weatherSent;
  total.sendErrors += once.sendErrors;
  total.rounds += once.rounds;
}

// Keeps the link up until a signal stops the stand-in: RealTraffic connects again when the
// program drops the link, and after "exit" it waits for the program's next run. `runs` counts
// the runs served after the first.
void lf_serveRuns(rtstandin::Session& session, std::atomic<int>& runs, rtstandin::LineLog& log) {
  bool waiting = false;  // said once per wait, not at every attempt
  while (!g_stop.load()) {
    if (session.exitReceived() || !session.connected()) {
      const bool ended = session.exitReceived();
      if (!waiting)
        log.write(ended ? "run ended, connecting for the next run" : "link lost, connecting again");
      waiting = !session.connect(500);
      if (!waiting && ended) ++runs;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string error;
  auto options = rtstandin::parseOptions(argc, argv, error);
  if (!options) {
    fmt::print(stderr, "rt-standin: {}\n{}\n", error, rtstandin::usageText());
    return 2;
  }
  std::signal(SIGINT, lf_onSignal);
  std::signal(SIGTERM, lf_onSignal);
  std::signal(SIGUSR1, lf_onRelease);
  try {
    rtstandin::LineLog log(options->logFile);
    const rtstandin::Recording recording = rtstandin::loadRecording(options->trafficFile);
    rtstandin::Session session(*options, &log);
    while (!g_stop.load() && !session.connect(500)) {
    }

    // The replay goes on whatever the link does, as live traffic would; a run that connects
    // after it has ended gets it once more.
    std::atomic<int> runs{0};
    rtstandin::ReplayReport report;
    std::thread replayer([&] {
      lf_waitForRelease(*options, log);
      while (!g_stop.load()) {
        log.write("replay starts");
        const auto once = rtstandin::replay(recording, *options, g_stop);
        lf_addReport(report, once);
        log.write(fmt::format("replay finished: {} traffic and {} weather datagrams",
                              once.trafficSent, once.weatherSent));
        const int ended = runs.load();
        while (!g_stop.load() && runs.load() == ended) {
          std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
      }
    });
    lf_serveRuns(session, runs, log);
    g_stop = true;
    replayer.join();
    const auto received = session.received();
    session.stop();
    log.write(rtstandin::reportText(report, received, recording.skippedLines));
    return 0;
  } catch (const std::exception& e) {
    fmt::print(stderr, "rt-standin: {}\n", e.what());
    return 1;
  }
}
