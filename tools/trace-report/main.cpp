// trace-report: the summary, the map and the checks of a demo run.
// Usage: see lf_usage; exit 0 when every check held, 1 when one failed, 2 for bad input.
#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <map>
#include <string>

#include "trace_report.h"

namespace {

int lf_usage() {
  std::fprintf(
      stderr,
      "usage: trace-report --trace FILE --airport FILE [--manifest FILE] [--recording FILE]\n"
      "                    [--log FILE] [--cut SECONDS] [--radius NM] [--summary FILE]\n"
      "                    [--map FILE]\n"
      "prints what the simulator stand-in saw (and writes it to --summary), draws the map\n"
      "PNG and runs the checks; the traffic radius is the one the program asked the\n"
      "simulator for, unless given\n");
  return 2;
}

bool lf_number(const char* text, double& value) {
  const char* end = text + std::strlen(text);
  const auto [p, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && p == end && value > 0.0;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, std::string> files;
  tracereport::Inputs inputs;
  std::optional<double> radius;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string name = argv[i];
    double number = 0.0;
    if (name == "--cut" || name == "--radius") {
      if (!lf_number(argv[i + 1], number)) return lf_usage();
      (name == "--cut" ? inputs.cutS : radius.emplace()) = number;
    } else if (name.starts_with("--")) {
      files[name.substr(2)] = argv[i + 1];
    } else {
      return lf_usage();
    }
  }
  if (argc % 2 == 0 || !files.contains("trace") || !files.contains("airport")) return lf_usage();
  try {
    inputs.airport = tracereport::readAirport(files["airport"]);
    if (files.contains("manifest")) inputs.manifest = tracereport::readManifest(files["manifest"]);
    if (files.contains("recording"))
      inputs.recorded = tracereport::readRecording(files["recording"], inputs.cutS);
    if (files.contains("log")) inputs.logLines = tracereport::readLogLines(files["log"]);
    const tracereport::Trace trace = tracereport::readTrace(files["trace"]);
    inputs.radiusNm = radius ? radius : tracereport::radiusFromTrace(trace);
    const tracereport::CheckResult checks = tracereport::runChecks(trace, inputs);
    const std::string summary = tracereport::summaryText(trace, inputs, checks);
    std::fputs(summary.c_str(), stdout);
    if (files.contains("summary")) {
      std::ofstream out(files["summary"], std::ios::trunc);
      out << summary;
      if (!out) throw std::runtime_error("cannot write " + files["summary"]);
    }
    std::string error;
    if (files.contains("map") && !tracereport::writeMap(files["map"], trace, inputs, error)) {
      throw std::runtime_error("map: " + error);
    }
    return checks.failures.empty() ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "trace-report: %s\n", e.what());
    return 2;
  }
}
