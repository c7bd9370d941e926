// Real RealTraffic records (read in place): their callsigns through the airline rule and the
// aircraft descriptions, their positions through the sphere geometry.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "foundation/aircraft_defs.h"
#include "foundation/geometry.h"
#include "foundation/strings.h"

namespace {

struct RealRecord {
  AircraftIdent ident;
  LatLon position;
};

std::vector<RealRecord> lf_readRecords() {
  std::vector<RealRecord> records;
  const std::filesystem::path folder =
      std::filesystem::path(ZENDRIK_REALWORLD_DIR) / "realtraffic" / "derived";
  if (!std::filesystem::is_directory(folder)) {
    return records;
  }
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::ifstream in(entry.path());
    for (std::string line; std::getline(in, line);) {
      const auto fields = gf_split(line, ',');
      if (fields.size() < 14 || fields[0] != "RTTFC") {
        continue;  // short records (RTPARK and the like) are not traffic
      }
      RealRecord record;
      record.ident.callsign = fields[9];
      record.ident.type = fields[10];
      record.ident.registration = fields[11];
      record.ident.origin = fields[12];
      record.ident.destination = fields[13];
      const auto parse = [](const std::string& text, double& out) {
        return std::from_chars(text.data(), text.data() + text.size(), out).ec == std::errc{};
      };
      if (parse(fields[2], record.position.lat) && parse(fields[3], record.position.lon)) {
        records.push_back(record);
      }
    }
  }
  return records;
}

TEST(RealWorldTrafficTest, CallsignsDescriptionsAndPositions) {
  const auto records = lf_readRecords();
  if (records.size() < 2) {
    GTEST_SKIP() << "no real-world RealTraffic records under " << ZENDRIK_REALWORLD_DIR;
  }
  std::size_t withAirline = 0;
  const LatLon centre = records.front().position;
  for (auto record : records) {
    const auto& cs = record.ident.callsign;
    if (const auto airline = gf_airlFromCallsign(cs)) {
      ++withAirline;
      EXPECT_TRUE(gf_equalsUpper(*airline, cs.substr(0, 3))) << cs;
      EXPECT_TRUE(setAirlFromCallsign(record.ident));
    }
    const std::string description = gf_acDescription(record.ident);
    EXPECT_GE(description.size(), 35u);
    EXPECT_EQ(description.substr(0, 8), fmt::format("{:8}", cs).substr(0, 8));
    // Out along the bearing over the distance and back at the reported position.
    const double d = gf_distanceNm(centre, record.position);
    ASSERT_TRUE(std::isfinite(d)) << cs;
    if (d < 1e-3) continue;
    const LatLon back = gf_destination(centre, gf_bearing(centre, record.position), d * kFeetPerNm);
    EXPECT_LT(gf_distanceNm(back, record.position), 1e-6) << cs;
  }
  EXPECT_GT(withAirline, 0u);
}

}  // namespace
