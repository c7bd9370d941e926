// Shared pieces of the fuzz targets: a private working folder for targets that read files, and
// a reader that takes control bytes off the front of an input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace fuzz {

// Where targets leave a value computed from what they read, so that the reads are not optimised
// away.
extern std::uint64_t g_sink;

// A fresh temporary folder, made the working folder on the first call and kept for the
// process (the targets' relative paths such as "input/" and "airports/" land in it).
const std::filesystem::path& workFolder();

// Writes the bytes to the file (parent folders made), replacing what was there.
void writeFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);
void writeFile(const std::filesystem::path& file, std::string_view bytes);

// Splits an input into control values, taken off its end, and the data, taken from its front.
// Control bytes sit at the end so that a real file used as a seed keeps its first bytes (the
// byte-order mark, the header) where the reader looks for them. Once the input is used up every
// value is 0 and the rest is empty.
class InputCursor {
 public:
  InputCursor(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
  // The last byte.
  std::uint8_t takeByte();
  // Up to n bytes from the front.
  std::string_view take(std::size_t n);
  std::string_view rest();
  bool empty() const { return m_size == 0; }

 private:
  const std::uint8_t* m_data;
  std::size_t m_size;
};

}  // namespace fuzz
