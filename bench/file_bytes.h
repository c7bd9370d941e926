// The baseline for anything that reads files: a file's bytes read whole in one call into a
// buffer of its size, the fastest way the standard library offers.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace bench {

inline std::string readFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<std::size_t>(std::max<std::streamoff>(in.tellg(), 0)), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

}  // namespace bench
