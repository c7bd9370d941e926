// Stand records: one parking stand (ParkPos), its learned uses (ParkPosOption) and the contents
// of one per-airport stand file (AirportFile). Plain values, built on the worker thread or in
// one scan task and copied or moved as vector elements.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/day_slots.h"
#include "foundation/geometry.h"

// Metres to nautical miles (1 / 1852), the factor every stand radius goes through.
inline constexpr double kMetresToNm = 0.0005399568034557236;

// One learned use of a stand: which aircraft stood there, on which day and half-hours.
struct ParkPosOption {
  std::string airline;
  std::string type;
  std::string reg;
  std::string cs;   // first callsign seen with this use
  std::string cs2;  // latest other callsign, empty when only one was seen
  HalfHours hh;        // half-hour slots of the day, bit n = slot n
  std::uint32_t id = 0;      // 1, 2, 3 ... within its stand; 0 = not in use
  std::uint32_t day = 0;     // 1 = Monday ... 7 = Sunday
  std::uint32_t origin = 0;  // 1 when read from the stand file itself; not extended by the engine
  std::uint32_t real = 0;    // 1 observed, 0 soft (a substitute)
};

// The engine's record of one aircraft on a stand: when it was last seen and which option it used.
struct StandSighting {
  DayHh when;
  std::uint32_t optionId = 0;
};

// FNV-1a over the four bytes of an aircraft key.
struct AircraftKeyHash {
  std::size_t operator()(std::uint32_t key) const noexcept {
    std::uint32_t hash = 2166136261u;
    for (int byte = 0; byte < 4; ++byte) {
      hash ^= (key >> (8 * byte)) & 0xFFu;
      hash *= 16777619u;
    }
    return hash;
  }
};

using StandSightings = std::unordered_map<std::uint32_t, StandSighting, AircraftKeyHash>;

// Position and heading handed to the ParkPos constructor: degrees, degrees, radians.
struct StandPlace {
  double lat = 0.0;
  double lon = 0.0;
  double heading = 0.0;
};

// One parking stand. The stand-file and scenery readers fill the stand fields; the sightings
// and the four engine marks belong to the traffic engine and start empty / false here.
struct ParkPos {
  std::vector<ParkPosOption> options;  // learned uses, in order of creation
  StandSightings realSightings;        // engine working set, never stored
  StandSightings softSightings;        // engine working set, never stored
  std::string id;                      // stand name, unique within one file
  std::vector<std::uint32_t> overlaps; // numbers of the stands whose circles overlap this one
  double lat = 0.0;                    // degrees
  double lon = 0.0;                    // degrees
  double heading = 0.0;                // radians
  double radius = 0.0;                 // nautical miles
  std::uint32_t number = 0;            // 1..N in file order, 0 until the reader numbers them
  bool manual = false;                 // created by hand in a learned file
  bool radius_change = false;          // radius corrected by learning or by hand
  bool cargo_change = false;           // cargo flag corrected by learning or by hand
  bool duplicate = false;              // renamed by the scenery reader's duplicate-name step
  bool staticOccupied = false;         // engine marks
  bool liveOccupied = false;
  bool reserved = false;
  bool blockedByNeighbour = false;
  bool cargo = false;
  bool ramp = false;
  bool heli = false;

  ParkPos() { overlaps.reserve(8); }
  // The flags come negated, as the readers hold them: a 0 sets the flag.
  ParkPos(std::string&& standId, std::vector<ParkPosOption>&& standOptions, StandPlace place,
          double radiusMetres, int notCargo, int notRamp, int notHeli)
      : options(std::move(standOptions)),
        id(std::move(standId)),
        lat(place.lat),
        lon(place.lon),
        heading(place.heading),
        radius(radiusMetres * kMetresToNm),
        cargo(notCargo == 0),
        ramp(notRamp == 0),
        heli(notHeli == 0) {
    overlaps.reserve(8);
  }
};

// The contents of one per-airport stand file.
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
