// Checked word access to BGL files held in memory.
#include "airports/bgl_words.h"

#include <bit>
#include <cstring>
#include <fstream>
#include <string>

#include <fmt/format.h>

BglWords BglWords::fromBytes(std::span<const std::uint8_t> bytes) {
  std::vector<std::uint32_t> words((bytes.size() + 3) / 4, 0u);  // a partial last word stays 0-padded
  if constexpr (std::endian::native == std::endian::little) {
    if (!bytes.empty()) {
      std::memcpy(words.data(), bytes.data(), bytes.size());
    }
  } else {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      words[i / 4] |= static_cast<std::uint32_t>(bytes[i]) << (8 * (i % 4));
    }
  }
  return BglWords(std::move(words));
}

std::uint32_t BglWords::at(std::int64_t index) const {
  if (!contains(index)) {
    throw BglRangeError(fmt::format("word {} lies outside the {} words of the file", index, size()));
  }
  return m_words[static_cast<std::size_t>(index)];
}

float BglWords::floatAt(std::int64_t index) const {
  return std::bit_cast<float>(at(index));
}

std::uint32_t BglWords::recordSize(std::int64_t index) const {
  return (at(index) >> 16) | ((at(index + 1) & 0xFFFFu) << 16);
}

std::int64_t BglWords::recordStep(std::int64_t index) const {
  // The size is taken as a signed number, so a corrupt huge size steps backwards and ends a walk.
  return static_cast<std::int32_t>(recordSize(index)) / 4;
}

bool gf_readBglWords(const std::filesystem::path& path, BglWords& out) {
  std::ifstream file(path, std::ios::binary);
  return file && gf_readBglWords(file, out);
}

bool gf_readBglWords(std::ifstream& file, BglWords& out) {
  file.clear();
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < 0) {
    return false;
  }
  file.seekg(0, std::ios::beg);
  const auto size = static_cast<std::size_t>(length);
  if constexpr (std::endian::native == std::endian::little) {
    // Read straight into the words: a partial last word keeps its zero padding.
    std::vector<std::uint32_t> words((size + 3) / 4, 0u);
    if (size > 0 && !file.read(reinterpret_cast<char*>(words.data()), length)) {
      return false;
    }
    out = BglWords(std::move(words));
  } else {
    std::vector<std::uint8_t> bytes(size);
    if (size > 0 && !file.read(reinterpret_cast<char*>(bytes.data()), length)) {
      return false;
    }
    out = BglWords::fromBytes(bytes);
  }
  return true;
}
