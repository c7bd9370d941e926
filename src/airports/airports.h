// Airport scenery and stands: the airport list, the per-airport stand files (archived,
// generated, handmade, learned) with their locations and quality factor, the park airport's
// stands and the closest stand at a destination. Everything here runs on the worker thread
// unless a comment says otherwise.
//
// Lock order of the airports scan: the archive-link mutex, then g_scanLogMutex (scan_log.h),
// then the log mutex (a leaf).
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "airports/airport_file.h"
#include "foundation/geometry.h"
#include "foundation/parameters.h"

// ---- Airport list ----------------------------------------------------------------------------

struct AirportEntry {
  std::string code;  // ICAO code, may be empty
  std::string iata;  // IATA code, empty when none
  double lat = 0.0;  // degrees
  double lon = 0.0;  // degrees
  double alt = 0.0;  // feet
};

// The airport list, sorted by code; filled once by gf_readAirports, read-only afterwards.
extern std::vector<AirportEntry> g_airports;
extern bool g_airportsLoaded;  // set when a load completed; worker only

// Loads input/airports_p3d.xml once per process; true when the list holds an airport. Throws
// UserErrorException 87 (XPath) or 88 (anything else); a failed load leaves the list as it was.
bool gf_readAirports();
std::optional<AirportEntry> gf_findAirport(const std::string& code);
// Closest airport within 5 NM, or the previous best when its closest stand is nearer.
std::optional<AirportEntry> gf_closestAirport(const LatLon& position);
// "EDDF (FRA)", "EDXX", "?" for an empty code.
std::string gf_airportText(const AirportEntry& entry);

// ---- The park airport's stands (owned by the traffic engine, filled here) --------------------

struct ApfHeader {
  std::string airport_name;
  std::string publisher;
  std::int32_t altitude = 0;  // feet
};

using QfPair = std::pair<std::int32_t, std::int32_t>;  // Qf_real, Qf_soft; -1 = not given

extern std::string g_parkAirportIcao;         // current park airport, empty when none
extern std::string g_parkAirportName;         // its IATA code from the airport list; set with it
extern LatLon g_parkAirportPos;              // its position (degrees); set with the code
extern double g_parkAirportElev;              // feet; the stand file's "altitude" replaces it
extern std::vector<ParkPos> g_parkStands;     // the park airport's stands
extern std::atomic<bool> g_parkStandsReady;   // true while g_parkStands holds a read list (GUI reads)
extern bool g_parkStandsChanged;              // changes that the next save must write
// LATERAL_RANGE kept while AUTO_RANGE is on, nm. Written by the stand-file reader (worker) and
// the AUTO_RANGE box (GUI thread).
extern std::atomic<int> g_lastManualRange;
extern ApfHeader g_parkApfHeader;             // header of the park airport's stand file
// The stand file path (as gf_apfPath gave it) of the last file gf_readApf read; its learned
// file, where the engine saves, is gf_learnedApfPath(g_parkApfPath, g_parkApfHeader.publisher).
extern std::string g_parkApfPath;
extern QfPair g_parkAirportQf;                // its quality factors
extern std::int32_t g_parkRtTrafficWeek;      // its "RT_traffic_week", 0 when absent
extern bool g_parkStandFileHandmade;          // the merged learned file was handmade
// A learned option that the same use in the stand file itself covers: left out of the look-ups
// (the stand file's option answers them), kept so that the next save writes it again.
struct CoveredOption {
  std::string standId;
  ParkPosOption option;
};
extern std::vector<CoveredOption> g_parkCoveredOptions;  // of the last read; worker only
// A setting that the park airport's stand file records changed. Set by the stand-file reader
// (worker) and the window's handlers (GUI thread); consumed by the engine's save (worker).
extern std::atomic<bool> g_standFileParamsChanged;

// ---- The park airports: candidates of my_park_airports.txt and my_thirdparty (worker only) ----

struct ParkAirport {
  std::string icao;           // as written in the file, or the my_thirdparty folder's name
  std::string reservedStand;  // stand kept free for the user aircraft; empty when none
  LatLon position;            // degrees, from the airport list
  double distance = 0.0;      // nm from the user aircraft, refreshed by the park-airport step
};

// The candidates; the front is the one the park-airport step looks at: the nearest, or the
// destination while DESTINATION is set. Worker only (the link's stand check and the window's
// destination reach it through the worker).
extern std::vector<ParkAirport> g_parkAirports;
// Name of the stand reserved for the user aircraft at the current park airport; "" = none.
// Worker only.
extern std::string g_reservedStand;
// User position (degrees) at which the distances of g_parkAirports were last computed. Worker.
extern LatLon g_parkListUserPos;
// An airport has just become current: the next park-airport step reads its stands and
// calculates its static parking. Worker only.
extern bool g_parkCalcPending;

// What the stand-file reader calls in the shell (filled by the shell; an empty slot is skipped).
struct AirportsShellHooks {
  void (*autoRange)() = nullptr;       // gf_autoRange
  void (*setRadius)(int) = nullptr;    // gf_setRadius, whole nautical miles
  void (*showFloatParameter)(FloatEditParameter&) = nullptr;  // gf_showFloatParameter
};
extern AirportsShellHooks g_airportsShellHooks;

// ---- Stand files -----------------------------------------------------------------------------

// Writes the stand file (meta block, header, stands) through a temporary file renamed over the
// path. generated: a file of the airports scan (any thread), else a learned file (worker).
bool gf_writeApf(const AirportFile& file, const std::filesystem::path& path, bool generated);
// Quality factors of g_parkStands; {-1, -1} when no stand has an option.
QfPair gf_qualityFactor();
// Reads the park airport's stand file (local, or downloaded from the server path) into stands,
// merges its learned file and publishes the result. result is empty on success, else the reason.
// downloaded: a copy of the server file fetched before (gf_fetchApf); no download then.
// Throws UserErrorException 65 (no altitude) and 94 (repeated stand id).
void gf_readApf(std::string& result, const std::string& path, ApfHeader& header, QfPair& qf,
                std::vector<ParkPos>& stands, const std::filesystem::path& downloaded = {});

// File names and places.
std::filesystem::path gf_apfFileName(const std::string& icao);  // "<icao>.xml"
bool gf_existsApf(const std::string& icao);
// A local path ("airports..."), the server path "archive/stock/<icao>.xml", or "".
std::string gf_apfPath(const std::string& icao);

// An airport's stand file as found once for the run: path as gf_apfPath gives it ("" when there
// is none) and, for a file on the server, the local copy downloaded for it.
struct ApfSource {
  std::string path;
  std::filesystem::path downloaded;
};
// Whether the stand-file path names a file on the update server.
bool gf_isServerApfPath(const std::string& path);
// The answer of the local folders alone; nullopt when only the server can answer.
std::optional<ApfSource> gf_localApfSource(const std::string& icao);
// Finds the stand file and downloads a server file once, into "park_airport_<icao>.xml" of the
// airports folder; path is "" when there is none or the download failed. May wait for the
// download: callers on the worker run it as a background task. One call per airport at a time.
ApfSource gf_fetchApf(const std::string& icao);
// The learned file that belongs to a stand file (stand file path text and its publisher); the
// one rule for reading and for saving learned files.
std::filesystem::path gf_learnedApfPath(const std::string& standFilePath, const std::string& publisher);

// Distance in NM from the position to the nearest stand of the airport's stand file (100.0 when
// none); id receives that stand's id.
double gf_readDestApfForClosestStand(const std::string& icao, const LatLon& position, std::string& id);
