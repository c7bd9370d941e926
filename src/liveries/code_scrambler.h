#pragma once
// Unscrambling of the codes stored in the downloaded aircraft database and AIG registration
// codes. Pure functions; called on the worker thread.

#include <string>

// Stored ICAO type code -> plain type code (three- and four-character codes are permuted,
// every other length gives two characters). Never fails; "" gives "".
std::string gf_cryptType(const std::string& code);

// Stored six-character airline or operator code -> plain three-letter code. A three-character
// code is taken as plain (with an error line); any other non-empty length throws
// std::runtime_error "decrypt airl \"{}\" error". "" gives "".
std::string gf_decryptAirl(const std::string& code);

// Stored registration -> plain registration of the same length. '+' stays as it is; any other
// character at position 24 or later throws std::out_of_range.
std::string gf_decryptReg(const std::string& registration);
