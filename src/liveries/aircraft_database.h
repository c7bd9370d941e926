#pragma once
// The downloaded aircraft database: types and size categories, similar types, wingspans,
// airlines, cargo operators, publishers, fixes, add-on airports and registrations.
// Filled once per process by gf_readDbase on the worker thread during start-up, before any scan
// task or traffic exists; afterwards only read (scan tasks included), so no lock guards them.

#include <array>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// What the database knows of one registration.
struct RegInfo {
  std::string airl;  // ICAO airline code, may be empty
  std::string type;  // ICAO type code, may be empty
  std::string opr;   // ICAO code of the operator, may be empty
  bool cargo = false;
};

// One outside scenery publisher and the airports of its scenery.
struct ThirdPartyScenery {
  std::string pub;                 // as written in the file
  std::vector<std::string> arpts;  // airport codes in file order
};

inline constexpr std::size_t kSizeCategoryCount = 6;  // Light .. Rotorcraft
// One metre in nautical miles (1 / 1852), for wingspans.
inline constexpr double kWingspanNmPerMetre = 0.0005399568034557236;

// Every known ICAO type code.
extern std::set<std::string> g_dbaseTypes;
// Types of the size categories HighPerf, Heavy, Large, Buzjets and Rotorcraft.
extern std::set<std::string> g_dbaseHighPerf;
extern std::set<std::string> g_dbaseHeavy;
extern std::set<std::string> g_dbaseLarge;
extern std::set<std::string> g_dbaseBuzjet;
extern std::set<std::string> g_dbaseRotorcraft;
// Cargo-only types.
extern std::set<std::string> g_dbaseCargoTypes;
// Groups of types that may stand in for each other, each group sorted ascending.
extern std::vector<std::vector<std::string>> g_dbaseSimilarGroups;
// Valid three-letter ICAO airline codes, and the cargo operators among them.
extern std::set<std::string> g_dbaseIcaoAirlines;
extern std::set<std::string> g_dbaseCargoOperators;
// One group per scenery publisher: display name first, then further names of its paths.
extern std::vector<std::vector<std::string>> g_dbasePublishers;
// Wingspan per ICAO type, metres.
extern std::map<std::string, double> g_dbaseWingspans;
// Per size category 0..5: mean half wingspan, nautical miles, of the types with an entry.
extern std::array<double, kSizeCategoryCount> g_defaultWingspan;
// The largest half wingspan of the database, nautical miles; 0 until read.
extern double g_maxHalfWingspanNm;
// Wrongly written type code -> correct ICAO type.
extern std::unordered_map<std::string, std::string> g_dbaseFixes;
// ICAO codes of airports listed as simulator add-on scenery.
extern std::set<std::string> g_dbaseSimaddonAirports;
// Outside scenery publishers and their airports.
extern std::vector<ThirdPartyScenery> g_dbaseThirdParties;
// Full registration (hyphen as written) -> what is known of that aircraft.
extern std::unordered_map<std::string, RegInfo> g_dbaseRegs;
// Registrations of private owners ("PVT") shorter than five characters, ascending; the list
// that gf_findPvtReg searches, built with g_dbaseRegs.
extern std::vector<std::string> g_dbasePvtRegs;

// Downloads dbase.zip into input/temp2.xml, reads every section into the tables above and
// deletes the file. True when it ran to the end. Throws std::runtime_error when the download
// fails or a section cannot be read, qvb::UserErrorException 60 for a file that is not well
// formed and 61 for a required section without codes. Worker thread, once per process.
bool gf_readDbase();
