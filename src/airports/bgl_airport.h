// Reader of the airport records of BGL scenery files: the header pre-test, the walk over the
// airport sections, the identifier and name decoders, and the helipad and parking records that
// become ParkPos stands. Runs inside one scan task per file; the only shared things it writes are
// the scan log and Log.txt.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "airports/bgl_words.h"
#include "airports/airport_file.h"

// Record ids of the records the reader looks at.
enum BglRecordId : std::uint16_t {
  kBglAirportOld = 0x3C,      // airport, subrecords from byte 56
  kBglAirportNew = 0xAB,      // airport, subrecords from byte 60
  kBglName = 0x19,            // airport name, inside an airport
  kBglHelipad = 0x26,         // helipad, inside an airport
  kBglParkingListOld = 0x3D,  // parking list of an old-format airport
  kBglParkingListNew = 0xAD,  // parking list of a new-format airport
};

inline constexpr std::uint32_t kBglHeaderSize = 56;     // bytes; other header sizes hold no airports
inline constexpr std::uint32_t kBglAirportSection = 3;  // section type of airport sections
inline constexpr std::uint32_t kBglSectionSkipFlag = 0x10000;  // flags bit: section not read

// What one airport record of the file walk hands on.
struct BglAirportRecord {
  std::int64_t index = 0;        // word index of the record
  bool newFormat = false;        // id 0xAB
  std::int64_t lengthWords = 0;  // record size / 4, subrecords included
  std::string ident;             // decoded, valid ICAO code
};

// State of the airport being read; made fresh for every airport.
struct BglAirportState {
  std::set<std::string> ids;  // identifiers given to parking stands so far
  bool duplicate = false;     // some parking stand had to take a suffixed identifier
  std::vector<std::pair<double, double>> helipads;  // positions already taken (lat, lon)
  int helipadCounter = 1;  // less one: the number of helipad stands of the airport
};

// Quick look at the header: does the section table list an airport section?
bool lf_hasAirportSection(const std::filesystem::path& path);
bool lf_hasAirportSection(std::ifstream& file);
// The file's words when its header lists an airport section, with one opening of the file (the
// scan task's read); false when it lists none or cannot be read. `error` names an open or read
// that failed (the system's errno, else an I/O error); a file that is merely short or lists no
// airport section leaves it clear.
bool lf_readAirportBglWords(const std::filesystem::path& path, BglWords& words,
                            std::error_code& error);

// Identifier packed in base 38 into the upper 27 bits; valid when it has exactly four
// characters none of which is a blank.
std::string lf_decodeIdentifierOrRegionCode(std::uint32_t value, bool& valid);
// Name text of a name record at word index r (at most 45 bytes, trailing zero bytes removed).
std::string lf_decodeAirportNAME(const BglWords& words, std::int64_t r);
// Text that begins a parking stand's identifier.
std::string lf_parkingNameText(unsigned code);

double lf_packedLatitude(std::uint32_t value);
double lf_packedLongitude(std::uint32_t value);
// Positions that no stand can have: off the globe, or the null island box of unset coordinates.
bool lf_isBadStandPosition(double lat, double lon);
// Airport elevation in feet from millimetres; values below -20 or above 10000 ft become 0.
std::int32_t lf_altitudeFeet(std::int32_t millimetres);

// Adds the stand of the helipad record at r, or logs why not.
void lf_toHelipads(std::int64_t r, const BglWords& words, AirportFile& file, BglAirportState& state,
                   const std::string& bglPath);
// Adds the stands of the parking list record at r.
void lf_toParkPos(std::int64_t r, const BglWords& words, AirportFile& file,
                  std::set<std::string>& ids, bool& duplicate, bool newFormat,
                  const std::string& bglPath);
// Orders stands that share a name and number by size: the largest keeps the plain identifier,
// the others take the suffixes a..f by decreasing radius.
void lf_suffixDuplicateIds(AirportFile& file);

// Walks every readable airport section of the file and hands each airport record with a valid
// identifier to onAirport, once, however many sections' walks reach it. Throws (BglRangeError or
// std::runtime_error) when the file is too short or an index runs past its end.
void lf_walkBglAirports(const BglWords& words,
                        const std::function<void(const BglAirportRecord&)>& onAirport);
// Reads one airport record into the file: altitude, name, helipads and the first parking list.
// Returns the number of helipad stands.
int lf_readBglAirport(const BglWords& words, const BglAirportRecord& record,
                      const std::string& bglPath, AirportFile& file);
