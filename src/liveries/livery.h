#pragma once
// One installed AI livery, the catalogue g_liveries and its stored form LiveriesScanned.xml.
// Worker thread only: the scan tasks have ended before the catalogue is written, and matching
// never touches g_liveries, so no lock guards it.

#include <cstdint>
#include <list>
#include <string>

// One installed livery: a [fltsim.N] section of an aircraft.cfg or sim.cfg that the scan kept.
struct Livery {
  std::string airl;           // ICAO airline code; "ZZZ" generic, "PVT" private owners
  std::string type;           // ICAO type code of the model
  std::string title;          // the section's title: the container title handed to the simulator
  std::string atcid;          // registration of the section's "atc_id"; empty when none
  std::int32_t priority = 0;  // ordinal of the livery folder it came from (1..10); 0 read back
  bool cargo = false;         // freighter livery

  // Equal in title, airline, type, registration and cargo flag; priority takes no part.
  bool operator==(const Livery& other) const;
};

// Order of every sort of the catalogue: airline, then type, then title, byte-wise.
bool operator<(const Livery& left, const Livery& right);

// The catalogue of installed liveries. Filled by the scan and by lf_readLiveriesScanned, emptied
// once the matching tables stand. Worker thread only, no lock.
extern std::list<Livery> g_liveries;

// Writes g_liveries (sorted, without repeats) to g_liveriesScannedFile; nothing when it is empty.
// Worker thread.
void gf_writeLiveriesScanned();

// Replaces g_liveries with the records of g_liveriesScannedFile, sorted. Throws
// qvb::UserErrorException 51 (file missing or not well formed), 52 (no <liveries> element) or
// 533 (no liveries); g_liveries is then empty. Worker thread.
void lf_readLiveriesScanned();
