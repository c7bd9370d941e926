// A BGL scenery file held in memory as little-endian 32-bit words, with every access checked.
// Records are addressed by the word index of their first byte; an index past the end throws
// BglRangeError, which the scan task reports as a failure of that one file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <vector>

class BglRangeError : public std::out_of_range {
 public:
  using std::out_of_range::out_of_range;
};

class BglWords {
 public:
  BglWords() = default;
  explicit BglWords(std::vector<std::uint32_t> words) : m_words(std::move(words)) {}
  // Little-endian words of the bytes; a last partial word is padded with zero bytes.
  static BglWords fromBytes(std::span<const std::uint8_t> bytes);

  std::int64_t size() const { return static_cast<std::int64_t>(m_words.size()); }
  bool contains(std::int64_t index) const { return index >= 0 && index < size(); }

  // Word at the index; throws BglRangeError outside the file.
  std::uint32_t at(std::int64_t index) const;
  float floatAt(std::int64_t index) const;
  // Byte b (0..3) of word index, as it stands in the file.
  std::uint8_t byteAt(std::int64_t index, int b) const { return (at(index) >> (8 * b)) & 0xFFu; }

  // Record header at a word index: id in bytes 0-1, size in bytes 2-5 (counted from the
  // record's first byte), and the record's length in words as a signed step (size / 4).
  std::uint16_t recordId(std::int64_t index) const { return at(index) & 0xFFFFu; }
  std::uint32_t recordSize(std::int64_t index) const;
  std::int64_t recordStep(std::int64_t index) const;

 private:
  std::vector<std::uint32_t> m_words;
};

// Reads the whole file into words; false when it cannot be opened or read.
bool gf_readBglWords(const std::filesystem::path& path, BglWords& out);
// The same from an open file, whatever was read from it before.
bool gf_readBglWords(std::ifstream& file, BglWords& out);
