// The stands of one BGL airport record: helipads, the first parking list and the renaming of
// stands that share a name and number.
#include <algorithm>
#include <cmath>

#include <fmt/format.h>

#include "airports/bgl_airport.h"
#include "airports/scan_log.h"
#include "foundation/log.h"

namespace {

// Helipad record (word offsets from the record's first word).
constexpr std::int64_t kHelipadLonWord = 3;
constexpr std::int64_t kHelipadLatWord = 4;
constexpr std::int64_t kHelipadWidthWord = 7;    // metres
constexpr std::int64_t kHelipadHeadingWord = 8;  // degrees, the last field of the 36-byte record
constexpr std::uint32_t kHelipadRecordBytes = 36;

// Parking list record: word 1 holds the entry count in its upper half, entries from word 2.
constexpr std::int64_t kParkingCountWord = 1;
constexpr std::int64_t kParkingFirstEntryWord = 2;
// Parking entry (word offsets from the entry's first word).
constexpr std::int64_t kEntryRadiusWord = 1;   // metres
constexpr std::int64_t kEntryHeadingWord = 2;  // degrees
constexpr std::int64_t kEntryLonWord = 7;
constexpr std::int64_t kEntryLatWord = 8;
constexpr std::int64_t kEntryWordsOld = 9;  // plus one word per airline code
constexpr std::int64_t kEntryWordsNew = 10;

constexpr float kMinStandRadiusM = 1.0f;    // exclusive
constexpr float kMaxStandRadiusM = 200.0f;  // exclusive
constexpr unsigned kCargoType = 5;
constexpr unsigned kLastRampType = 7;
constexpr unsigned kLastStandType = 11;
constexpr const char* kSuffixes = "abcdef";

std::string lf_positionText(double lat, double lon) { return fmt::format("{:.6f},{:.6f}", lat, lon); }

// Degrees to radians; a heading of exactly 0 is stored as a full turn.
double lf_headingRadians(float degrees) {
  return degrees == 0.0f ? kTwoPi : static_cast<double>(degrees) * kDegToRad;
}

void lf_logSkippedRadius(double radiusMetres, const std::string& bglPath) {
  lf_scanLog(fmt::format("skipped position with radius {:.1F} meters, in {}", radiusMetres, bglPath));
}

// The first free identifier among base, base+"a" ... base+"f", put into the set; empty when all
// seven are taken.
std::string lf_claimIdentifier(const std::string& base, std::set<std::string>& ids, bool& duplicate) {
  if (ids.insert(base).second) {
    return base;
  }
  duplicate = true;
  for (const char* suffix = kSuffixes; *suffix != '\0'; ++suffix) {
    std::string candidate = base + *suffix;
    if (ids.insert(candidate).second) {
      return candidate;
    }
  }
  return {};
}

}  // namespace

void lf_toHelipads(std::int64_t r, const BglWords& words, AirportFile& file, BglAirportState& state,
                   const std::string& bglPath) {
  const double lat = lf_packedLatitude(words.at(r + kHelipadLatWord));
  const double lon = lf_packedLongitude(words.at(r + kHelipadLonWord));
  const float width = words.floatAt(r + kHelipadWidthWord);
  // The heading is the record's last field; a shorter record has none (stored as a full turn).
  const float heading =
      words.recordSize(r) >= kHelipadRecordBytes ? words.floatAt(r + kHelipadHeadingWord) : 0.0f;
  if (!std::isfinite(width) || !std::isfinite(heading)) {
    // A non-finite size or heading would end up as "nan" in the stand files.
    lf_logSkippedRadius(width * 0.5, bglPath);
    return;
  }
  if (lf_isBadStandPosition(lat, lon)) {
    lf_scanLog("lat/lon helipad incorrect (skipped): " + lf_positionText(lat, lon));
    return;
  }
  const std::pair<double, double> position{lat, lon};
  if (std::find(state.helipads.begin(), state.helipads.end(), position) != state.helipads.end()) {
    lf_scanLog("double helipad " + file.airport_name + " (skipped) " + lf_positionText(lat, lon));
    return;
  }
  state.helipads.push_back(position);
  file.stands.emplace_back(fmt::format("helipad{}", state.helipadCounter),
                           std::vector<ParkPosOption>{},
                           StandPlace{lat, lon, lf_headingRadians(heading)}, width * 0.5, 1, 1, 0);
  ++state.helipadCounter;
}

void lf_toParkPos(std::int64_t r, const BglWords& words, AirportFile& file,
                  std::set<std::string>& ids, bool& duplicate, bool newFormat,
                  const std::string& bglPath) {
  const std::uint32_t count = words.at(r + kParkingCountWord) >> 16;
  const std::int64_t entryWords = newFormat ? kEntryWordsNew : kEntryWordsOld;
  std::int64_t e = r + kParkingFirstEntryWord;
  // Room for every entry at once, as far as the file can hold them: moving the stands on each
  // growth of the list is costly.
  const auto entriesInFile = static_cast<std::size_t>(words.size() / entryWords);
  file.stands.reserve(file.stands.size() + std::min<std::size_t>(count, entriesInFile));
  for (std::uint32_t k = 0; k < count; ++k) {
    const std::uint32_t head = words.at(e);
    const unsigned nameCode = head & 0x3Fu;
    const unsigned type = (head >> 8) & 0xFu;
    const unsigned number = (head >> 12) & 0xFFFu;
    const unsigned airlineCodes = head >> 24;
    const std::int64_t next = e + entryWords + airlineCodes;

    const float radius = words.floatAt(e + kEntryRadiusWord);
    const float heading = words.floatAt(e + kEntryHeadingWord);
    // Non-finite values fail this test too, so that they never reach the stand files.
    if (!(radius > kMinStandRadiusM && radius < kMaxStandRadiusM) || !std::isfinite(heading)) {
      lf_logSkippedRadius(radius, bglPath);
      e = next;
      continue;
    }
    const std::string base = lf_parkingNameText(nameCode) + std::to_string(number);
    if (type < 1 || type > kLastStandType) {
      e = next;
      continue;
    }
    const double lat = lf_packedLatitude(words.at(e + kEntryLatWord));
    const double lon = lf_packedLongitude(words.at(e + kEntryLonWord));
    if (lf_isBadStandPosition(lat, lon)) {
      lf_scanLog(fmt::format("lat/lon: {}, incorrect (skipped) ", lf_positionText(lat, lon)));
      e = next;
      continue;
    }
    std::string id = lf_claimIdentifier(base, ids, duplicate);
    if (id.empty()) {
      lf_scanLog(fmt::format("{}Warning more then 6 the same ids {}, in {}", "===> ", base, bglPath));
      e = next;
      continue;
    }
    const bool renamed = id != base;
    ParkPos& stand = file.stands.emplace_back(
        std::move(id), std::vector<ParkPosOption>{},
        StandPlace{lat, lon, lf_headingRadians(heading)}, radius, type != kCargoType ? 1 : 0,
        type > kLastRampType ? 1 : 0, 1);
    stand.duplicate = renamed;
    e = next;
  }
}

void lf_suffixDuplicateIds(AirportFile& file) {
  auto& stands = file.stands;
  for (;;) {
    const auto marked =
        std::find_if(stands.begin(), stands.end(), [](const ParkPos& s) { return s.duplicate; });
    if (marked == stands.end()) {
      return;
    }
    const std::string base = marked->id.substr(0, marked->id.size() - 1);
    std::vector<std::size_t> group;  // list order
    for (std::size_t k = 0; k < stands.size(); ++k) {
      const std::string& id = stands[k].id;
      const bool member = id == base || (id.size() == base.size() + 1 && id.starts_with(base) &&
                                         id.back() >= 'a' && id.back() <= 'f');
      if (member) {
        stands[k].duplicate = false;
        group.push_back(k);
      }
    }
    std::stable_sort(group.begin(), group.end(), [&stands](std::size_t a, std::size_t b) {
      return stands[a].radius > stands[b].radius;
    });
    const std::size_t names = std::min<std::size_t>(group.size(), 7);  // base and a..f
    for (std::size_t rank = 0; rank < names; ++rank) {
      stands[group[rank]].id = rank == 0 ? base : base + kSuffixes[rank - 1];
    }
  }
}

int lf_readBglAirport(const BglWords& words, const BglAirportRecord& record,
                      const std::string& bglPath, AirportFile& file) {
  constexpr std::int64_t kAltitudeWord = 5;  // millimetres, signed
  constexpr std::int64_t kSubrecordsOld = 14;
  constexpr std::int64_t kSubrecordsNew = 15;
  file.altitude = lf_altitudeFeet(static_cast<std::int32_t>(words.at(record.index + kAltitudeWord)));

  BglAirportState state;
  const std::uint16_t parkingListId = record.newFormat ? kBglParkingListNew : kBglParkingListOld;
  const std::int64_t end = record.index + record.lengthWords;
  std::int64_t j = record.index + (record.newFormat ? kSubrecordsNew : kSubrecordsOld);
  while (j < end) {
    const std::uint16_t id = words.recordId(j);
    if (id == kBglName) {
      const std::string name = lf_decodeAirportNAME(words, j);
      if (file.airport_name.empty()) {
        file.airport_name = name;
      } else if (name != file.airport_name) {
        file.airport_name.clear();  // two different names: the airport keeps none
      }
    } else if (id == kBglHelipad) {
      lf_toHelipads(j, words, file, state, bglPath);
    } else if (id == parkingListId) {
      lf_toParkPos(j, words, file, state.ids, state.duplicate, record.newFormat, bglPath);
      if (state.duplicate) {
        lf_suffixDuplicateIds(file);
      }
      break;  // only the first parking list of an airport is read
    }
    const std::int64_t step = words.recordStep(j);
    if (step <= 0) {
      break;
    }
    j += step;
  }
  return state.helipadCounter - 1;
}
