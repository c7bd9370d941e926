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

    // RealTraffic connects again whenever the program drops the link, until it says "exit".
    rtstandin::ReplayReport report;
    std::thread replayer([&] {
      lf_waitForRelease(*options, log);
      if (g_stop.load()) return;
      log.write("replay starts");
      report = rtstandin::replay(recording, *options, g_stop);
      log.write(fmt::format("replay finished: {} traffic and {} weather datagrams",
                            report.trafficSent, report.weatherSent));
    });
    while (!g_stop.load() && !session.exitReceived()) {
      if (!session.connected() && !session.exitReceived()) {
        log.write("link lost, connecting again");
        session.connect(500);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
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
