// Command line of the RealTraffic stand-in.
#include <fmt/format.h>

#include <charconv>
#include <cmath>
#include <string_view>

#include "rt-standin/rt_standin.h"

namespace rtstandin {
namespace {

bool lf_parsePort(std::string_view text, std::uint16_t& port) {
  unsigned value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535)
    return false;
  port = static_cast<std::uint16_t>(value);
  return true;
}

// "HOST:PORT"; the host may be empty ("":PORT means loopback).
bool lf_parseServer(std::string_view text, Options& options) {
  auto colon = text.rfind(':');
  if (colon == std::string_view::npos) return false;
  if (!lf_parsePort(text.substr(colon + 1), options.serverPort)) return false;
  if (colon > 0) options.serverHost = std::string(text.substr(0, colon));
  return true;
}

}  // namespace

std::string usageText() {
  return "usage: rt-standin --server HOST:PORT --traffic FILE [--speed X] [--loop] [--hold] "
         "[--udp-host H] [--traffic-port N] [--weather-port N] [--version TEXT] [--level N] "
         "[--log FILE]";
}

std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error) {
  Options options;
  bool haveServer = false;
  for (int i = 1; i < argc; ++i) {
    std::string_view arg = argv[i];
    if (arg == "--loop" || arg == "--hold") {
      (arg == "--loop" ? options.loop : options.hold) = true;
      continue;
    }
    if (i + 1 >= argc) {
      error = fmt::format("{} needs a value", arg);
      return std::nullopt;
    }
    std::string_view value = argv[++i];
    bool ok = true;
    if (arg == "--server") {
      ok = lf_parseServer(value, options);
      haveServer = ok;
    } else if (arg == "--traffic") {
      options.trafficFile = std::string(value);
    } else if (arg == "--speed") {
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.speed);
      ok = ec == std::errc() && end == value.data() + value.size() &&
           std::isfinite(options.speed) && options.speed > 0.0;
    } else if (arg == "--udp-host") {
      options.udpHost = std::string(value);
    } else if (arg == "--traffic-port") {
      ok = lf_parsePort(value, options.trafficPort);
    } else if (arg == "--weather-port") {
      ok = lf_parsePort(value, options.weatherPort);
    } else if (arg == "--version") {
      options.version = std::string(value);
    } else if (arg == "--level") {
      auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), options.level);
      ok = ec == std::errc() && end == value.data() + value.size();
    } else if (arg == "--log") {
      options.logFile = std::string(value);
    } else {
      error = fmt::format("unknown option {}", arg);
      return std::nullopt;
    }
    if (!ok) {
      error = fmt::format("bad value for {}: {}", arg, value);
      return std::nullopt;
    }
  }
  if (!haveServer || options.trafficFile.empty()) {
    error = "--server and --traffic are required";
    return std::nullopt;
  }
  return options;
}

}  // namespace rtstandin
