#pragma once
// The parallel scan of one livery folder: a walk of the folder tree that starts one task per
// aircraft.cfg / sim.cfg on a detached thread of its own, at most g_maxThreads at a time (the
// slot counter g_numThreads is shared with the airports scan), and collects the tasks' liveries
// into g_liveries in the order the tasks were started.
//
// Threads: the walk and all collection run on the worker thread; only the worker touches
// g_liveries. A task takes its slot before its thread starts and gives it back exactly once, as
// the last thing before its result becomes ready.

#include <cstdint>
#include <filesystem>
#include <list>
#include <string>

#include "liveries/livery.h"

// Path texts of this length or longer are not descended into.
inline constexpr std::size_t kMaxScanPathLength = 250;

// Scans the folder tree; every livery found goes to g_liveries with the priority. Catches every
// std::exception; returns only when all of its tasks have ended. Worker thread.
void lf_searchLiveriesInFolder(std::int32_t priority, const std::filesystem::path& folder);

// The task of an ordinary aircraft.cfg: its liveries in Livery order. Logs an exception with the
// path and throws it on.
std::list<Livery> lf_searchLiveriesinFile(std::int32_t priority, const std::filesystem::path& file);
// The task of an IVAO model-set file: its liveries in section order.
std::list<Livery> lf_searchMtlLiveriesInFile(std::int32_t priority,
                                             const std::filesystem::path& file);
