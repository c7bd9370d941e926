#pragma once
// The livery scan driver: at start-up either scans the livery folders into LiveriesScanned.xml
// and the report files, or only processes the stored file. Worker thread; the folder scan's
// tasks have all ended whenever control is back here.

#include <cstdint>
#include <string>
#include <vector>

#include "liveries/livery.h"

// One line per change the database update made to a livery (AirlineModelConversions.txt).
// Worker thread only; emptied by lf_clearScanLists.
extern std::vector<std::string> g_dbaseUpdateLines;

// Folder ordinals stop counting here.
inline constexpr std::int32_t kMaxFolderPriority = 10;

// Counters of one scan over its folders.
struct ScanCounters {
  std::int32_t ordinal = 0;    // ordinal of the latest existing folder, 1..10
  std::int64_t total = 0;      // liveries found over all folders
  std::uint64_t lastSize = 0;  // size of g_liveries after the previous folder
};

// Start-up entry: scans when SCAN_LIVERIES is on, then processes the stored catalogue. Throws
// qvb::UserErrorException 48 (manual mode without folders), 53 / 43 (manual / automatic scan
// found nothing) and lets the processing's exceptions pass. A scan interrupted by a stop or
// exit request leaves SCAN_LIVERIES on and returns without processing.
void gf_liveriesScan();

// One scan over the folder texts; false when it found no livery at all.
bool lf_scanLiveries(const std::vector<std::string>& folders);
// Scans one folder text into g_liveries and logs its count.
void lf_scanLfolder(ScanCounters& counters, const std::string& folderText);
// Removes the previous scan's output files; logs the first failure and stops there.
void lf_removeScanFiles();
// Corrects the livery from the database entry of its registration; records each change.
void lf_updateLiveryFromDbase(Livery& livery);
// Keeps, for each airline and type, only the liveries of the folder with the smallest ordinal.
void lf_keepPrioritizedLiveries();
