#pragma once
// Matching failures and the matching summary: titles the simulator refused to create, the
// aircraft for which no livery was found, the per-step match counters and the summary in
// Log.txt. Worker thread only, no locks.

#include <array>
#include <cstdint>
#include <list>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/livery_target.h"

// Reports of the simulator refusing to create a title, one per report (repeats count). Owned
// copies of the titles, so that a rebuild of the catalogue never leaves them dangling. Never
// emptied.
extern std::vector<std::string> g_failedLiveries;
// "TYPE AIRL" of each failure, newest first. Never emptied.
extern std::list<std::string> g_notCreated;
// Identity texts of aircraft that got no livery. Filled by the engine; emptied by its reset.
extern std::set<std::string> g_noMatches;
// Live aircraft matched at steps 1..6 (entry n-1 for step n). Never emptied.
extern std::array<std::int32_t, 6> g_matchSteps;

// Reports at or above this number of refused titles end the run with code 81.
inline constexpr std::size_t kMaxFailedLiveries = 20;

// True when the simulator has refused the title before.
bool gf_isFailedLivery(std::string_view title);

// The simulator refused to create the aircraft's livery: shows it, bars the title and throws
// qvb::UserErrorException 81 once kMaxFailedLiveries titles have failed. Nothing while a stop
// or exit is requested.
void gf_liveryNotCreated(const LiveryTarget& aircraft);
// Sorts g_notCreated, drops repeats and returns its entries with two blanks before each.
std::vector<std::string> gf_notCreatedLines();
// Logs g_noMatches when it is not empty and LOG is on.
void gf_logNoMatches();
// Logs the livery matching summary (whatever LOG says).
void gf_matchingSummary();
