#pragma once
// The livery fields of an aircraft record: what livery matching reads and writes. The engine's
// static and live aircraft records (StaticAircraft, and AiAircraft that extends it) carry this
// head, so that one matching routine serves both. Worker thread only.

#include <cstdint>
#include <string_view>

#include "foundation/aircraft_defs.h"

struct LiveryTarget : AircraftIdent {
  std::uint32_t key = 0;       // aircraft key; the engine's key of g_liveryById
  std::uint32_t category = 2;  // size category 0..5 (Light .. Rotorcraft), from gf_typeCategory
  // The chosen title: a view of a title stored in g_liveryAirlines; empty = no livery. Valid
  // until gf_clearLiveryTables, which runs only between runs, when no aircraft record exists.
  std::string_view livery;
  bool cargo = false;    // cargo aircraft; for a static aircraft set from its stand
  bool special = false;  // the chosen title is an FSLTL model ("FSLTL_" in it); live aircraft
};
