// Program version: parsing from "a.b.c" text or from a JSON object, printing and ordering.
#include "foundation/version.h"

#include <algorithm>
#include <charconv>
#include <limits>
#include <optional>
#include <vector>

#include <fmt/format.h>
#include <nlohmann/json.hpp>

const Version g_version{"10.10.9"};

namespace {

struct DottedGroups {
  std::string first, second, third;
};

// The whole text against (\d+).(\d+).(\d+), where each '.' is any character but a line end,
// taking the longest first group that allows a match and then the longest second one, as a
// backtracking regular expression does. Linear in the text: the version texts come from files
// and the network, and a long garbled line must not stall the caller.
std::optional<DottedGroups> lf_matchDotted(std::string_view text) {
  const std::size_t size = text.size();
  // digitRun[i]: length of the run of digits that starts at i (0 at the end of the text).
  std::vector<std::size_t> digitRun(size + 1, 0);
  for (std::size_t i = size; i-- > 0;) {
    digitRun[i] = (text[i] >= '0' && text[i] <= '9') ? digitRun[i + 1] + 1 : 0;
  }
  const auto isSeparator = [text](std::size_t at) {
    return at < text.size() && text[at] != '\n' && text[at] != '\r';
  };
  for (std::size_t a = digitRun[0]; a >= 1; --a) {
    if (!isSeparator(a)) continue;
    const std::size_t second = a + 1;
    // The longest second group leaves room for a separator and at least one digit after it.
    std::size_t b = size >= second + 2 ? std::min(digitRun[second], size - second - 2) : 0;
    // Inside the second group's digits every position can be the separator; only the
    // character right after them can be a line end.
    if (b >= 1 && !isSeparator(second + b)) --b;
    if (b == 0) continue;
    // A shorter second group would only start the third group earlier; it must run to the end.
    const std::size_t third = second + b + 1;
    if (digitRun[third] == size - third) {
      return DottedGroups{std::string(text.substr(0, a)), std::string(text.substr(second, b)),
                          std::string(text.substr(third))};
    }
  }
  return std::nullopt;
}

// Decimal digits to a signed 32-bit value; false when it does not fit.
bool lf_toInt32(const std::string& digits, std::int32_t& out) {
  std::int32_t v = 0;
  const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), v);
  if (ec != std::errc{} || end != digits.data() + digits.size()) {
    return false;
  }
  out = v;
  return true;
}

// Reads one member of the JSON object as an integer. False ends the construction.
bool lf_jsonMember(const nlohmann::json& object, const char* key, std::int32_t& out) {
  const auto it = object.find(key);
  if (it == object.end()) {
    return true;  // absent: the component stays 0
  }
  if (it->is_number_integer()) {
    const auto v = it->get<std::int64_t>();
    if (v < std::numeric_limits<std::int32_t>::min() ||
        v > std::numeric_limits<std::int32_t>::max()) {
      return false;
    }
    out = static_cast<std::int32_t>(v);
    return true;
  }
  if (it->is_number_float()) {
    const double d = it->get<double>();
    if (!(d >= std::numeric_limits<std::int32_t>::min() &&
          d <= std::numeric_limits<std::int32_t>::max())) {
      return false;  // also NaN
    }
    out = static_cast<std::int32_t>(d);
    return true;
  }
  return false;
}

}  // namespace

Version::Version(std::string_view text) {
  if (text.empty()) {
    return;
  }
  if (const auto groups = lf_matchDotted(text)) {
    // An overflowing number ends the construction; the numbers before it are kept.
    if (lf_toInt32(groups->first, major) && lf_toInt32(groups->second, minor)) {
      lf_toInt32(groups->third, patch);
    }
    return;
  }
  const std::string whole(text);
  const auto json = nlohmann::json::parse(whole, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) {
    return;
  }
  if (lf_jsonMember(json, "major", major) && lf_jsonMember(json, "minor", minor)) {
    lf_jsonMember(json, "patch", patch);
  }
}

std::string Version::toString() const { return fmt::format("{}.{}.{}", major, minor, patch); }
