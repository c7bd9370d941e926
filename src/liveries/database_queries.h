#pragma once
// Questions the rest of the program asks the aircraft database. The tables are complete before
// any query runs and only read afterwards: gf_regInfo, gf_isKnownAirline, gf_typeCategory,
// gf_hasChar and gf_findPvtReg are also called from the livery scan tasks; the others run on
// the worker thread.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/aircraft_database.h"

// Size category 0 Light, 1 Buzjets, 2 Large, 3 Heavy, 4 HighPerf, 5 Rotorcraft; sets tested in
// the order Large, Heavy, Buzjets, Rotorcraft, HighPerf; an unknown type is Light.
std::uint32_t gf_typeCategory(const std::string& type);

// True when the type is not empty and in g_dbaseTypes.
bool gf_isKnownType(const std::string& type);

// True when the code is not empty and in g_dbaseIcaoAirlines.
bool gf_isKnownAirline(const std::string& code);

// HALF the wingspan of the type in nautical miles (callers add two of them and compare with
// distances); a type without an entry gets the mean half span of its size category.
double gf_wingspan(const std::string& type);

// True when the text holds the character; an empty text holds none.
bool gf_hasChar(std::string_view text, char c);

// The written forms of a registration to try, in order: for five or more characters, not
// beginning with 'N' and without '-', "AB-CDE" and "A-BCDE" first; always the registration last.
std::vector<std::string> gf_regVariants(const std::string& registration);

// Looks one written form up as a whole key; when found fills out (creating its value) and
// returns true, else returns false and leaves out as it was.
bool gf_findReg(std::optional<RegInfo>& out, const std::string& form);

// The entry of the first written form found; empty for an empty or unknown registration.
std::optional<RegInfo> gf_regInfo(const std::string& registration);
// One field of that entry, or "".
std::string gf_airlFromReg(const std::string& registration);
std::string gf_oprFromReg(const std::string& registration);
std::string gf_typeFromReg(const std::string& registration);

// The first private ("PVT") registration of fewer than five characters, in ascending order,
// that occurs inside the text; "" when none does.
std::string gf_findPvtReg(const std::string& text);
