// p3d-standin: runs the simulator stand-in until interrupted.
// Usage: p3d-standin [--port N] [--port6 N] [--pipe PATH] [--scenario FILE] [--trace FILE]
//                    [--frame-hz N] [--simobjects DIR]
#include <csignal>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "p3d_standin.h"

namespace {

volatile std::sig_atomic_t g_stop = 0;
void lf_onSignal(int) { g_stop = 1; }

bool lf_parseNumber(const char* text, double& out) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, out);
  return ec == std::errc() && p == end;
}

int lf_usage() {
  std::fprintf(stderr,
               "usage: p3d-standin [--port N] [--port6 N] [--pipe PATH] [--scenario FILE]\n"
               "                   [--trace FILE] [--frame-hz N] [--simobjects DIR]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  p3d::StandinOptions options;
  options.logToStderr = true;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return lf_usage();
    const char* value = argv[++i];
    double number = 0;
    if (arg == "--port" || arg == "--port6") {
      if (!lf_parseNumber(value, number) || !(number >= 0 && number <= 65535) ||
          number != std::floor(number)) {
        return lf_usage();  // a port is a whole number: "1.5" is no port 1
      }
      (arg == "--port" ? options.port : options.port6) = static_cast<int>(number);
    } else if (arg == "--frame-hz") {
      if (!lf_parseNumber(value, number)) return lf_usage();
      options.frameHz = number;
    } else if (arg == "--pipe") {
      options.pipePath = value;
    } else if (arg == "--scenario") {
      options.scenarioFile = value;
    } else if (arg == "--trace") {
      options.traceFile = value;
    } else if (arg == "--simobjects") {
      options.simobjectsDir = value;
    } else {
      return lf_usage();
    }
  }
  if (options.port < 0 && options.port6 < 0 && options.pipePath.empty()) options.port = 0;
  std::signal(SIGINT, lf_onSignal);
  std::signal(SIGTERM, lf_onSignal);
  try {
    p3d::P3dStandin standin(options);
    standin.start();
    std::printf("p3d-standin listening: port %d port6 %d pipe \"%s\"\n", standin.port(),
                standin.port6(), options.pipePath.c_str());
    std::fflush(stdout);
    while (g_stop == 0) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    standin.stop();
  } catch (const std::exception& e) {
    std::fprintf(stderr, "p3d-standin: %s\n", e.what());
    return 1;
  }
  return 0;
}
