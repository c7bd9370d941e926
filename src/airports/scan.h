// The airports scan: folder walk with one task per BGL file holding airports, the link or
// generation of each airport's stand file, scenery discovery and the driver. The driver and the
// folder walk run on the worker thread; the file tasks on the folder scan's pool of scan threads,
// at most g_maxThreads at once over all scans (foundation/scan_task_pool.h).
//
// Lock order: g_linkMutex, then g_scanLogMutex, then the log mutex. The mutex of
// g_scanPassedOver (scan_log.h) is taken alone.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "airports/bgl_airport.h"
#include "airports/airport_file.h"
#include "airports/scan_log.h"
#include "foundation/parameters.h"

// Serialises every link step of the scan tasks (publisher, link file, its scan-log lines).
extern std::mutex g_linkMutex;

// ---- driver and discovery (worker thread) ----
extern const std::filesystem::path g_tbloFolder;  // "TBLO": stand files for off-line learning
extern std::atomic<std::uint32_t> g_tbloCount;     // files copied there by the last scan (GUI reads)

// Where a scan looked: the listed folders it walked (as it walked them, gf_pathToUtf8 of
// gf_winPath) and the places it passed over.
struct ScanReach {
  std::vector<std::string> walked;
  std::vector<PassedOverPlace> passedOver;
};
// Whether a BGL file a previous stand file recorded is certainly gone from where the scan looked:
// it lies below a walked folder and below no place passed over, and it does not exist (an
// answer without an error). Paths compare as lf_pathIsBelow does.
bool lf_bglGoneFromReach(const std::string& bglPath, const ScanReach& reach);
// Whether the path is the folder or lies below it, by their texts' elements ("." and ".."
// resolved) with ASCII letters in either case alike: the program's path texts are Windows
// texts, and gf_winPath takes names that differ only in case for one. False for an empty folder.
bool lf_pathIsBelow(const std::string& path, const std::string& folder);
// The BGL file a stand file records (BGLpath, written for publisher "unknown" only); empty when
// it records none or cannot be read.
std::string lf_recordedBglPath(const std::filesystem::path& standFile);

// The stand files of a scan in the making: while an object lives, the scan tasks write link and
// stand files beside my_ORBX and my_thirdparty; swapIn moves them in place of the previous
// scan's files. What is not swapped in is dropped when the object ends, so a scan that is cut
// short or fails leaves the previous files as they were. Worker thread; the scan tasks of the
// object's time read lf_scanOutputDir.
class NewStandFiles {
 public:
  NewStandFiles();  // drops what an unfinished earlier scan left
  ~NewStandFiles();
  NewStandFiles(const NewStandFiles&) = delete;
  NewStandFiles& operator=(const NewStandFiles&) = delete;
  // Replaces the regular files of my_ORBX and my_thirdparty (their folders stay) with this
  // scan's. False when a move fails: every file is then moved back and the failure logged.
  bool swapIn();
  // Copies into this scan's my_ORBX and my_thirdparty the previous files of every airport that
  // has none in that folder's new set, so that the swap keeps them: a scan that passed places
  // over has not seen the airports behind them. Each folder is decided alone. An airport whose
  // previous stand file records a BGL file the scan would have seen (lf_bglGoneFromReach) is
  // dropped as a whole scan drops it, its link file with it. Logs the files kept. False, logged,
  // when a file cannot be copied.
  bool keepAirportsNotFound(const ScanReach& reach);
};
// Finishes or undoes a swap of stand files that a kill ended half way, with one log line: forward
// when every previous file had been moved out, else back. Called at start before any stand file
// is read. True when no swap is left; false, with the reason logged, when one still is (no scan
// may then build new stand files).
bool gf_recoverStandFileSwap();
// The folder the scan tasks write simulator add-on (simaddon) or third party stand and link
// files into: the new scan's while a NewStandFiles lives, else the live one.
std::filesystem::path lf_scanOutputDir(bool simaddon);

// How a scan ended, for the driver.
enum class AirportsScanEnd {
  kFound,                   // its stand files are in place
  kNothingFound,            // in place as well: the folders are empty
  kNothingFoundPassedOver,  // in place as well: nothing found, but places were passed over
  kPreviousKept,            // cut short or not swapped in: the previous scan's files are kept
};

// The whole scan at start-up; throws UserErrorException 42 and 49. A scan cut short (a stop or
// exit request, a failed walk) keeps the previous stand files and leaves SCAN_AIRPORTS on.
void gf_scanAirports();
AirportsScanEnd lf_scanAirports(const std::vector<std::string>& folders, NewStandFiles& newFiles);
// False when the folder's scan was cut short (lf_scanBglFolder). A listed folder whose state
// cannot be read is passed over. Appends the folder's path to `walked` when it was walked.
bool lf_scanFolder(const std::string& folder, std::vector<std::string>& walked);
// "1 folder", "2 files", "1 folder and 2 files": how many places were passed over.
std::string lf_passedOverCount(const std::vector<PassedOverPlace>& places);

void lf_readSceneryCfg(std::vector<std::string>& folders);
void lf_readSceneryAddOnsXml(std::vector<std::string>& folders);
void lf_checkAfolder(const std::array<StringParameter, kFolderSettings>& settings,
                     std::vector<std::string>& folders);
bool lf_isStockScenery(const std::string& text);
// The simulator's configuration folder as a Windows text, "...\Prepar3D v5".
std::string lf_simConfigFolderText();

// ---- folder walk and tasks ----
// False when the walk was cut short: a stop or exit request, or an error that ended it (a folder
// it may not enter, and an entry whose state it cannot read, are logged and passed over, the
// walk goes on). No task is left running.
bool lf_scanBglFolder(const std::filesystem::path& folder);
bool lf_isBglFile(const std::string& extension);
// Whether a path lies in the simulator's own Scenery folder (no path, when that is unknown).
bool lf_inSimScenery(const std::string& pathText);
// The simulator's Scenery folder (SIM_INSTALL_PATH joined with "Scenery") as a path text of this
// system; empty when the install path is not known.
std::string gf_simSceneryDirText();
// The body of one task: reads the file and links or generates the stand file of each airport. A
// file that cannot be opened or read is passed over.
void lf_toParkingPositions(const std::filesystem::path& bglPath);
// Test seam: whether ZENDRIK_SCAN_NO_ENTRY names (several: '|' between them) the path's last
// element. The walk may not enter a folder so named, a task may not open a file so named, and a
// listed folder below a folder so named cannot have its state read: what a test run as root
// cannot make otherwise.
bool lf_namedNoEntry(const std::filesystem::path& path);
void lf_toAirport(const BglWords& words, const BglAirportRecord& record, const std::string& bglPath);

// ---- links and generated files (scan tasks) ----
bool gf_containsNoCase(const std::string& text, const std::string& pattern);
std::string gf_publisherFromFilename(const std::string& path);
bool lf_linkToArchive(AirportFile& file, int& archivedCount, const std::string& bglPath);
bool lf_linkSimaddon(const AirportFile& file);
bool lf_linkThirdparty(const std::string& publisher, const AirportFile& file, int& archivedCount);
std::optional<std::string> lf_existsAsSimaddon(const std::string& icao);
std::optional<std::string> lf_findThirdpartyArchive(const std::string& publisher, const std::string& icao,
                                                    int& archivedCount);
void lf_generateApf(AirportFile& file, int helipads);

// Test of one arpts entry ("EDDF57"): accepted when it begins with the code; its number goes to
// archivedCount, and a number that cannot be read is logged and leaves the count alone.
struct gf_prefixedInt {
  const std::string& publisher;
  const std::string& icao;
  int& archivedCount;
  bool operator()(const std::string& entry) const;
};
