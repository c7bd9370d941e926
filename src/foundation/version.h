// The three-part program version, parsed from "a.b.c" text or a JSON object.
#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <string_view>

struct Version {
  std::int32_t major = 0;
  std::int32_t minor = 0;
  std::int32_t patch = 0;

  Version() = default;
  Version(std::int32_t ma, std::int32_t mi, std::int32_t pa) : major(ma), minor(mi), patch(pa) {}
  // "(\d+).(\d+).(\d+)" over the whole text (each '.' is any one character), else a JSON object
  // with "major", "minor", "patch". Never throws: a failure keeps the components read so far.
  explicit Version(std::string_view text);

  std::string toString() const;  // "{}.{}.{}"

  // Component by component, major first.
  friend auto operator<=>(const Version&, const Version&) = default;
};

// The program's own version, "10.10.9". Built at static initialisation, never changed.
extern const Version g_version;
