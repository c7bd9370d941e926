// BGL header test, file walk and the decoders of identifiers, names and packed coordinates.
#include "airports/bgl_airport.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"

namespace {

constexpr std::int64_t kHeaderWords = 14;            // words 0-13
constexpr std::streamoff kMinHeaderTestBytes = 15;   // shorter files are not looked at
constexpr std::int64_t kSectionCountWord = 5;
constexpr std::int64_t kHeaderSizeWord = 1;
constexpr std::int64_t kSectionEntryWords = 5;       // 20 bytes per section entry
constexpr std::uint64_t kSectionEntryBytes = 20;
constexpr std::int64_t kSectionOffsetWord = 3;       // entry word: byte offset of subsection table
constexpr std::int64_t kSubsectionRecordsWord = 2;   // subsection word: byte offset of records
constexpr std::int64_t kAirportIdentWord = 10;
constexpr std::uint32_t kIdentBase = 38;
constexpr double kLatFactor = 3.3527612686157227e-7;  // 180 / 2^29
constexpr double kLonFactor = 4.470348358154297e-7;   // 360 / (3 * 2^28)
constexpr double kMmToFeet = 3.2808399 / 1000.0;

std::uint32_t lf_littleEndian(const std::array<unsigned char, 4>& b) {
  return b[0] | (b[1] << 8) | (b[2] << 16) | (static_cast<std::uint32_t>(b[3]) << 24);
}

// Word k of the open file, 0 when it lies past the end.
std::uint32_t lf_fileWord(std::ifstream& file, std::uint64_t byteOffset) {
  std::array<unsigned char, 4> bytes{};
  file.clear();
  file.seekg(static_cast<std::streamoff>(byteOffset));
  file.read(reinterpret_cast<char*>(bytes.data()), bytes.size());
  return lf_littleEndian(bytes);  // bytes not read stay 0
}

// Walks the records of one airport section from word i to the end of the file. A walk that
// reaches a record an earlier section's walk stepped on ends there: from that record on it
// would follow the same records and hand on the same airports again, so a file is walked once
// however many sections its table lists (a crafted table made each file cost its section count
// times its size).
void lf_walkSectionRecords(const BglWords& words, std::int64_t i, std::vector<bool>& walked,
                           const std::function<void(const BglAirportRecord&)>& onAirport) {
  while (i < words.size()) {
    if (walked[static_cast<std::size_t>(i)]) {
      return;
    }
    walked[static_cast<std::size_t>(i)] = true;
    const std::uint16_t id = words.recordId(i);
    const std::int64_t step = words.recordStep(i);
    if (id == kBglAirportOld || id == kBglAirportNew) {
      bool valid = false;
      std::string ident = lf_decodeIdentifierOrRegionCode(words.at(i + kAirportIdentWord), valid);
      if (valid) {
        onAirport(BglAirportRecord{i, id == kBglAirportNew, step, std::move(ident)});
      }
    }
    if (step <= 0) {
      return;  // a size that does not advance ends the walk
    }
    i += step;
  }
}

}  // namespace

bool lf_hasAirportSection(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return file && lf_hasAirportSection(file);
}

bool lf_readAirportBglWords(const std::filesystem::path& path, BglWords& words,
                            std::error_code& error) {
  errno = 0;
  std::ifstream file(path, std::ios::binary);
  const bool read = file && lf_hasAirportSection(file) && gf_readBglWords(file, words);
  // A read past the end only fails the stream; one the system refused leaves it bad.
  if (!file.is_open() || file.bad()) {
    error = std::error_code(errno != 0 ? errno : EIO, std::generic_category());
    return false;
  }
  error.clear();
  return read;
}

bool lf_hasAirportSection(std::ifstream& file) {
  file.seekg(0, std::ios::end);
  const std::streamoff length = file.tellg();
  if (length < kMinHeaderTestBytes) {
    return false;
  }
  const std::uint64_t count = lf_fileWord(file, kSectionCountWord * 4);
  if (count == 0) {
    return false;
  }
  const std::uint64_t tableEnd = kHeaderWords * 4 + kSectionEntryBytes * count;
  if (static_cast<std::uint64_t>(length) <= tableEnd) {
    return false;
  }
  for (std::uint64_t k = 0; k < count; ++k) {
    if (lf_fileWord(file, kHeaderWords * 4 + kSectionEntryBytes * k) == kBglAirportSection) {
      return true;
    }
  }
  return false;
}

std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& valid) {
  std::string text;
  bool blank = false;
  try {
    std::uint32_t n = value >> 5;
    std::string reversed;
    do {
      const std::uint32_t digit = n % kIdentBase;
      n /= kIdentBase;
      if (digit == 0) {
        reversed.push_back(' ');
        blank = true;
      } else if (digit >= 2 && digit <= 11) {
        reversed.push_back(static_cast<char>(digit + 46));  // '0'..'9'
      } else {
        reversed.push_back(static_cast<char>(digit + 53));  // 'A'..'Z'; 1 gives '6'
      }
    } while (n != 0);
    text.assign(reversed.rbegin(), reversed.rend());
  } catch (const std::exception&) {
    gf_log(fmt::format("! Exception in {}", "lf_decodeIdentifierOrRegionCode"));
  }
  valid = text.size() == 4 && !blank;
  return text;
}

std::string lf_decodeAirportNAME(const BglWords& words, std::int64_t r) {
  constexpr std::int64_t kHeaderBytes = 6;
  constexpr std::int64_t kMaxNameBytes = 45;
  std::string name;
  try {
    const std::int64_t length =
        std::min<std::int64_t>(static_cast<std::int64_t>(words.recordSize(r)) - kHeaderBytes,
                               kMaxNameBytes);
    for (std::int64_t k = 0; k < length; ++k) {
      const std::int64_t byte = kHeaderBytes + k;
      name.push_back(static_cast<char>(words.byteAt(r + byte / 4, static_cast<int>(byte % 4))));
    }
  } catch (const std::exception&) {
    gf_log(std::string("lf_decodeAirportNAME") + "EXCEPTION");
  }
  while (!name.empty() && name.back() == '\0') {
    name.pop_back();
  }
  return name;
}

std::string lf_parkingNameText(unsigned code) {
  static const std::array<const char*, 12> kNames = {
      "", "r", "p", "np", "ep", "sep", "sp", "swp", "wp", "nwp", "g", ""};
  if (code < kNames.size()) {
    return kNames[code];
  }
  return std::string(1, static_cast<char>(code + 53));  // 12 gives "A"
}

double lf_packedLatitude(std::uint32_t value) { return 90.0 - value * kLatFactor; }

double lf_packedLongitude(std::uint32_t value) { return value * kLonFactor - 180.0; }

bool lf_isBadStandPosition(double lat, double lon) {
  if (!(lat >= -90.0 && lat <= 90.0) || !(lon >= -180.0 && lon <= 180.0)) {
    return true;
  }
  return lat >= 0.0 && lat <= 0.0009 && lon >= 0.0 && lon <= 0.05;
}

std::int32_t lf_altitudeFeet(std::int32_t millimetres) {
  constexpr long kLowestFeet = -20;
  constexpr long kHighestFeet = 10000;
  const long feet = std::lround(millimetres * kMmToFeet);  // halves away from zero
  return (feet < kLowestFeet || feet > kHighestFeet) ? 0 : static_cast<std::int32_t>(feet);
}

void lf_walkBglAirports(const BglWords& words,
                        const std::function<void(const BglAirportRecord&)>& onAirport) {
  if (words.size() < 2) {
    throw BglRangeError(fmt::format("file of {} word{} is too short", words.size(),
                                    words.size() == 1 ? "" : "s"));
  }
  if (words.at(kHeaderSizeWord) != kBglHeaderSize || words.size() <= kHeaderWords) {
    return;
  }
  const std::uint32_t sections = words.at(kSectionCountWord);
  std::vector<bool> walked(static_cast<std::size_t>(words.size()));  // record starts stepped on
  for (std::uint32_t k = 0; k < sections; ++k) {
    const std::int64_t entry = kHeaderWords + kSectionEntryWords * static_cast<std::int64_t>(k);
    const std::uint32_t type = words.at(entry);
    const std::uint32_t flags = words.at(entry + 1);
    if (type != kBglAirportSection || (flags & kBglSectionSkipFlag) != 0) {
      continue;
    }
    const std::int64_t subsection = words.at(entry + kSectionOffsetWord) / 4 + kSubsectionRecordsWord;
    lf_walkSectionRecords(words, words.at(subsection) / 4, walked, onAirport);
  }
}
