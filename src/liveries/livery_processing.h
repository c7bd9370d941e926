#pragma once
// From the stored catalogue LiveriesScanned.xml to the matching tables, once per process, on the
// worker thread during start-up (after a scan or instead of one), before traffic starts.

#include <atomic>

// True once the matching tables have been built in this process. Set by the processing on the
// worker; cleared by the shell when the user asks for a rescan (with gf_clearLiveryTables).
extern std::atomic<bool> g_liveriesScanDone;

// Reads LiveriesScanned.xml and builds the matching, registration and similar-type tables, logs
// their summaries; skipped (with a log line) when done before. Empties g_liveries in every case.
// Throws qvb::UserErrorException 51, 52 or 533 for a missing or empty catalogue, and the
// file-system errors of the registration step.
// Called by the scan driver in another file, hence gf_.
void gf_processScannedLiveries();
