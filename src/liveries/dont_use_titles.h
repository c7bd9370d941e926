#pragma once
// Titles that must not become liveries: the titles of registration-code definitions without any
// registration, gathered at the start of each livery scan from the AIG list and the user's
// regcode files. Filled on the worker thread before the scan tasks start; the tasks only read
// it; emptied by lf_clearScanLists. No lock.

#include <filesystem>
#include <string>
#include <vector>

extern std::vector<std::string> g_dontUseTitles;

// Downloads and reads the AIG list (the unpacked file is removed again), then the user's regcode
// folder when it holds a file. Worker thread. A failed removal throws filesystem_error "remove".
void lf_readDontUseTitles();
// Appends the titles without registrations of an unpacked AIG-regcodes.xml.
void lf_readAigDontUse(const std::filesystem::path& file);
// Appends the titles without registrations of the user's regcode files.
void lf_readFilesDontUse();
