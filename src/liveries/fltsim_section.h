#pragma once
// One [fltsim.N] section turned into at most one Livery: keys, airline decision, existence of
// the model and texture folders and the flight-model file, duplicate titles. Runs inside the
// scan tasks; shared state: g_seenTitles (its mutex), the report collections (their mutexes),
// g_dontUseTitles and the database tables (read only during a scan).

#include <cstdint>
#include <list>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "liveries/livery.h"

// Titles of every livery made during the current scan; the first section to present a title
// gets the livery. Emptied by lf_clearScanLists.
extern std::set<std::string> g_seenTitles;
extern std::mutex g_seenTitlesMutex;  // guards g_seenTitles; a leaf lock

// The airline code of private owners.
inline constexpr const char* kPrivateAirline = "PVT";

// The answers of the existence tests made for one file's sections. The sections of a file mostly
// name the same model folder and flight-model file, so each path is looked up once per file.
// One per file task; not shared between threads.
class FolderChecks {
 public:
  // The entry `name` of `folder` (a '\' in the name separates sub-folders) is a folder
  // (isFolder true) or a regular file; a name Windows would find in another letter case counts
  // too. Throws std::filesystem::filesystem_error as the file-system test does.
  bool existsAs(const std::string& folder, const std::string& name, bool isFolder);

 private:
  std::string m_folder;                                  // the folder the answers are for
  std::map<std::pair<std::string, bool>, bool> m_known;  // (name, isFolder) -> exists
};

// Ordinary file: appends 0 or 1 livery to result. lines is the section, header first (trailing
// empty and "//" lines are dropped from it). Logs an exception with the file and throws it on.
void lf_procesFltSimSection(std::list<Livery>& result, std::int32_t priority,
                            std::vector<std::string>& lines, const std::string& type,
                            const std::string& cfgPath, const std::string& folder,
                            FolderChecks& checks);

// IVAO model-set file: the made livery, or an empty record when the section yields none.
Livery lf_procesMtlFltSimSection(std::int32_t priority, std::vector<std::string>& lines,
                                 const std::string& type, const std::string& cfgPath,
                                 const std::string& folder, FolderChecks& checks);

// Enters the title into g_seenTitles; the record when it was new (cargo when cargoTest is 0),
// else an empty record. An empty airline makes no record and enters nothing.
Livery lf_makeLivery(std::int32_t priority, const std::string& airl, const std::string& type,
                     int cargoTest, const std::string& title, const std::string& atcid);

// The title is one that must not become a livery (g_dontUseTitles).
bool lf_isDontUseTitle(const std::string& title);
