#pragma once
// The livery scan's report collections, the appenders the scan tasks call, and the report files
// written after a scan. Each collection has a mutex of its own (declared right after it): the
// file tasks append in parallel. lf_writeScanReport and lf_clearScanLists run on the worker
// thread once every task has ended, and take no lock.

#include <filesystem>
#include <list>
#include <mutex>
#include <string>
#include <vector>

// "<path> contains ..." lines: numbering faults and files without atc_model.
extern std::list<std::string> g_invalidCfgFiles;
extern std::mutex g_invalidCfgFilesMutex;
// Sections that yield no livery, one line each.
extern std::list<std::string> g_incompleteSections;
extern std::mutex g_incompleteSectionsMutex;
// "{:12} in {} <header>" lines of airline codes not in the database.
extern std::list<std::string> g_invalidAirlineCodes;
extern std::mutex g_invalidAirlineCodesMutex;
// "{:16} in {}" lines of type codes neither known nor fixed.
extern std::list<std::string> g_invalidModelCodes;
extern std::mutex g_invalidModelCodesMutex;
// Paths of aircraft.cfg files without any [fltsim.N] section.
extern std::list<std::string> g_cfgWithoutFltsim;
extern std::mutex g_cfgWithoutFltsimMutex;
// "Model fix: ..." lines, in the order they were found.
extern std::vector<std::string> g_codeFixes;
extern std::mutex g_codeFixesMutex;

// Each appends one line under its collection's mutex. Any thread.
void lf_addInvalidCfgFile(const std::string& text);
void lf_addIncompleteSection(const std::string& text);
void lf_addCodeFix(const std::string& text);
void lf_addCfgWithoutFltsim(const std::string& cfgPath);
// "{:12} in {} " + header line.
void lf_addInvalidAirlineCode(const std::string& code, const std::string& cfgPath,
                              const std::string& header);
// "{:16} in {}".
void lf_addInvalidModelCode(const std::string& code, const std::string& cfgPath);

// Writes each text and a line end into the file, replacing it; false when it cannot be opened.
bool lf_writeLines(const std::list<std::string>& lines, const std::filesystem::path& file);

// Writes every non-empty collection (and g_dbaseUpdateLines) to its report file and logs the
// summary. Worker thread, after the scan tasks. A file-system error on the errors folder throws.
void lf_writeScanReport();

// Empties the report collections, g_dbaseUpdateLines, g_seenTitles and g_dontUseTitles.
// Worker thread, while no scan task runs.
void lf_clearScanLists();
