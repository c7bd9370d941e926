// A traffic record builder for the intake tests: a valid airborne record near the test user
// position whose fields can be replaced by index.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "intake/intake.h"
#include "intake/traffic_parser.h"

namespace intake_test {

inline constexpr double kUserLat = 51.0;
inline constexpr double kUserLon = 6.0;

class Record {
 public:
  Record();
  Record& set(std::size_t index, std::string value);
  std::string text() const;
  // Parses the record as the reader does (split at commas) against `context`.
  TrafficVerdict parse(const TrafficFilterContext& context, ParsedTraffic& out) const;

 private:
  std::vector<std::string> fields_;
};

// The user at kUserLat/kUserLon, radius 40 nm, no park airport.
TrafficFilterContext defaultContext();

// Readies a reader's intake as a run does: RealTraffic on this PC, radius 40 nm, an empty
// live-traffic buffer, traffic accepted, the user at kUserLat/kUserLon.
void prepareIntake(TrafficReader& reader);

}  // namespace intake_test
