// The engine tests' set-up: Log.txt open in a private folder, this thread marked as the worker
// with a seeded generator, the engine and the park airport emptied, default settings and a small
// aircraft database (C172 Light, C56X Buzjets, A320 and B738 Large, B744 Heavy, F16 HighPerf,
// EC35 Rotorcraft); stands placed at exact distances from kField.
#pragma once

#include <gtest/gtest.h>

#include "airports/airports.h"
#include "foundation/temp_folder.h"
#include "traffic/live/live.h"
#include "traffic/parking/parking.h"
#include "traffic/records/records.h"

namespace traffictest {

inline constexpr LatLon kField{52.3, 4.76};

class TrafficTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  bool logged(const std::string& text) const;
  TempWorkingFolder folder;
  double radiusBeforeNm = 0.0;  // the traffic radius, set back after each test
};

ParkPos gf_standAt(const std::string& name, double bearingDeg, double metres, double radiusM,
                   bool cargo = false, bool ramp = false, bool heli = false);
ParkPos& gf_addStand(ParkPos stand);  // numbered 1, 2, ... as the reader numbers them
AircraftHead gf_head(const std::string& type, const std::string& callsign,
                     const std::string& registration, std::uint32_t key,
                     const std::string& airline = "KLM");
void gf_useTrafficDatabase();
void gf_resetEngine();

}  // namespace traffictest
