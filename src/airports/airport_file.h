// The contents of one per-airport stand file: its header values and its stands in file order.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/park_pos.h"

struct AirportFile {
  std::string ICAO;
  std::string airport_name;
  std::string BGLpath;
  std::string publisher;
  std::int32_t RT_traffic_week = 0;
  std::int32_t Qf_real = 0;
  std::int32_t Qf_soft = 0;
  std::int32_t altitude = 0;  // feet
  std::vector<ParkPos> stands;  // file order
};
