#pragma once
// The key material of the stored-code scrambling scheme, kept in this one place.
// The program unscrambles with it (code_scrambler.cpp); the fixture builder that writes test and
// demo databases scrambles with the same values. Whoever publishes dbase.zip and
// AIG-regcodes.zip must use exactly these values.

#include <array>
#include <cstdint>

namespace scramble_keys {

// Every scrambled character lies in the codes 45 ('-') to 90 ('Z'): 46 codes.
inline constexpr int kFirstCode = 45;
inline constexpr int kLastCode = 90;
inline constexpr int kCodeRange = kLastCode - kFirstCode + 1;

// Type shifts per output position, one table per length case of a type code.
inline constexpr std::array<int, 2> kTypeShifts2{7, -12};
inline constexpr std::array<int, 3> kTypeShifts3{11, -5, 19};
inline constexpr std::array<int, 4> kTypeShifts4{-9, 14, 3, -21};

// Airline shifts per output position of a six-character stored airline code.
inline constexpr std::array<int, 3> kAirlineShifts{13, -17, 6};

// Registration key: one shift per character position; positions 24 and later take no key.
inline constexpr std::array<std::uint32_t, 24> kRegKey{
    5, 23, 11, 38, 2, 17, 29, 8, 41, 14, 33, 20, 1, 36, 26, 9, 44, 12, 31, 4, 19, 40, 7, 27};

static_assert(kCodeRange == 46);

}  // namespace scramble_keys
