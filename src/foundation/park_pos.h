// Stand records: one parking stand (ParkPos) and its learned uses (ParkPosOption). Plain values,
// built on the worker thread or in one scan task and copied or moved as vector elements. The
// stand-file code fills the stand fields; the engine owns the sightings and the engine marks.
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
  // Fixing value: 0 for a learned option, 1 for one read from the stand file itself; the engine
  // never extends an option whose value is not 0.
  std::uint32_t origin = 0;
  std::uint32_t real = 0;    // 1 observed, 0 soft (a substitute)
};

// The engine's record of one aircraft on a stand: when it was last seen and which option it used.
struct StandSighting {
  DayHh when;
  std::uint32_t optionId = 0;
};

// FNV-1a over the four bytes of an aircraft key (the key of every per-aircraft map).
struct AircraftKeyHash {
  std::size_t operator()(std::uint32_t key) const noexcept {
    std::uint32_t hash = 2166136261u;
    for (int index = 0; index < 4; ++index) {
      hash ^= (key >> (8 * index)) & 0xFFu;
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
  std::uint32_t number = 0;            // stand id: 1..N in file order, 0 until numbered
  bool manual = false;                 // created by hand in a learned file
  bool radius_change = false;          // radius corrected by learning (engine) or by hand
  bool cargo_change = false;           // cargo flag corrected by learning or by hand
  bool duplicate = false;              // renamed by the scenery reader's duplicate-name step
  bool staticOccupied = false;         // engine mark: a static aircraft is chosen for it
  bool liveOccupied = false;           // engine mark: a live aircraft parks or stands here
  bool reserved = false;               // engine mark: the reserved stand or the user's stand
  bool blockedByNeighbour = false;     // engine mark: an overlapping stand is occupied
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

// The equality by which a learned stand file merges options: same day, kind, registration,
// airline and type, and at least one half-hour slot in common.
bool gf_sameUse(const ParkPosOption& a, const ParkPosOption& b);
