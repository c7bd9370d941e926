// Shared set-up of the engine tests: a private working folder with Log.txt open, this thread
// marked as the worker with a seeded generator, the engine and the park airport emptied, the
// settings at their defaults and a small aircraft database; stands placed at exact distances.
#pragma once

#include <string>

#include <gtest/gtest.h>

#include "airports/airports.h"
#include "foundation/temp_folder.h"
#include "traffic/traffic.h"

namespace traffictest {

// The park airport's reference point; stands are placed around it.
inline constexpr LatLon kField{52.3, 4.76};

class TrafficTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string log() const;  // Log.txt so far

  TempWorkingFolder folder;
};

// A stand `metres` from kField on the bearing (degrees), with its radius in metres.
ParkPos gf_standAt(const std::string& name, double bearingDeg, double metres, double radiusM,
                   bool cargo = false, bool ramp = false, bool heli = false);
// Appends the stand to g_parkStands, numbered as the reader numbers them (1, 2, ...).
ParkPos& gf_addStand(ParkPos stand);
// A record head of the type (C172 Light, C56X Buzjets, A320 Large, B744 Heavy, F16 HighPerf,
// EC35 Rotorcraft).
AircraftHead gf_head(const std::string& type, const std::string& callsign,
                     const std::string& registration, std::uint32_t key,
                     const std::string& airline = "KLM");
// The aircraft database of the tests: the types above with their spans, two registrations.
void gf_useTrafficDatabase();
// Empties every engine container and the park airport's state.
void gf_resetEngine();

}  // namespace traffictest
