// Unscrambling of stored type, airline and registration codes with the keys of scramble_keys.h.

#include "liveries/code_scrambler.h"

#include <fmt/format.h>

#include <cstdint>
#include <stdexcept>

#include "foundation/log.h"
#include "liveries/scramble_keys.h"

namespace {

using namespace scramble_keys;

// One character shifted back by k and wrapped into the codes 45..90.
int lf_shiftChar(std::int8_t c, int k) {
  const int r = c - k;
  if (r < kFirstCode) return r + kCodeRange;
  if (r > kLastCode) return r - kCodeRange;
  return r;
}

char lf_shifted(char c, int k) {
  return static_cast<char>(lf_shiftChar(static_cast<std::int8_t>(c), k));
}

constexpr std::size_t kStoredAirlineLength = 6;
constexpr std::size_t kPlainAirlineLength = 3;

}  // namespace

std::string gf_cryptType(const std::string& code) {
  std::string result;
  switch (code.size()) {
    case 0:
      break;
    case 3:
      result = {lf_shifted(code[1], kTypeShifts3[0]), lf_shifted(code[2], kTypeShifts3[1]),
                lf_shifted(code[0], kTypeShifts3[2])};
      break;
    case 4:
      result = {lf_shifted(code[2], kTypeShifts4[0]), lf_shifted(code[3], kTypeShifts4[1]),
                lf_shifted(code[1], kTypeShifts4[2]), lf_shifted(code[0], kTypeShifts4[3])};
      break;
    default:
      // code[1] of a one-character code is the terminating zero character.
      result = {lf_shifted(code[1], kTypeShifts2[0]), lf_shifted(code[0], kTypeShifts2[1])};
      break;
  }
  return result;
}

std::string gf_decryptAirl(const std::string& code) {
  if (code.empty()) return {};
  if (code.size() == kStoredAirlineLength) {
    return {lf_shifted(code[3], kAirlineShifts[0]), lf_shifted(code[4], kAirlineShifts[1]),
            lf_shifted(code[1], kAirlineShifts[2])};
  }
  if (code.size() == kPlainAirlineLength) {
    gf_logError(fmt::format("Unencrypted airline {} in decrypt airl?", code));
    return code;
  }
  throw std::runtime_error(fmt::format("decrypt airl \"{}\" error", code));
}

std::string gf_decryptReg(const std::string& registration) {
  std::string result;
  result.reserve(kRegKey.size());
  for (std::size_t i = 0; i < registration.size(); ++i) {
    const char c = registration[i];
    if (c == '+') {
      result.push_back(c);
      continue;
    }
    if (i >= kRegKey.size()) throw std::out_of_range("invalid array<T, N> subscript");
    result.push_back(lf_shifted(c, static_cast<int>(kRegKey[i])));
  }
  return result;
}
