#pragma once
// Types that may stand in for others in livery matching: members of a similar-type group of the
// aircraft database that have liveries, per airline the substitutes it has liveries of, and for
// Light, Buzjets and Rotorcraft any type of the category. Built once per process after the
// matching tables; read on the worker thread only (the queries shuffle the stored lists in place
// and reuse one scratch list, so they are not reentrant).

#include <string>
#include <unordered_map>
#include <vector>

#include "foundation/aircraft_defs.h"

using TypeList = std::vector<std::string>;

// ICAO type -> other members of its similar-type group that have liveries, in group order.
extern std::unordered_map<std::string, TypeList> g_similarTypeGroups;
// airline -> type T it has no livery of -> substitutes of T it has liveries of.
extern std::unordered_map<std::string, std::unordered_map<std::string, TypeList>>
    g_airlineSimilarTypes;
// Always empty; returned when there is no substitute.
extern TypeList g_noSimilarTypes;
// One-element scratch list of gf_similarTypes; valid until its next call.
extern TypeList g_substituteType;

// Builds the two maps from g_dbaseSimilarGroups and the matching tables; logs their size.
void gf_buildSimilarTypes();
// Empties the two maps (with the matching tables, before a rebuild).
void gf_clearSimilarTypes();
// Substitute types of a type: its group's list, or for Light, Buzjets and Rotorcraft one type
// of the category that has liveries; shuffled in place when RANDOM is on.
const TypeList& gf_similarTypes(const std::string& type);
// The substitutes of the identity's type that its airline has liveries of.
const TypeList& gf_airlineSimilarTypes(const AircraftIdent& ident);
