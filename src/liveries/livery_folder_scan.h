#pragma once
// The parallel scan of one livery folder: a walk of the folder tree that hands one task per
// aircraft.cfg / sim.cfg to a pool of g_maxThreads scan threads made for the folder
// (foundation/scan_task_pool.h; each task runs holding a slot of the counter g_numThreads, which
// is shared with the airports scan), and collects the tasks' liveries into g_liveries in the
// order the tasks were started, waiting for the oldest once more than g_maxThreads are pending.
//
// Threads: the walk and all collection run on the worker thread; only the worker touches
// g_liveries. The scan threads live while one folder is scanned and are joined before
// lf_searchLiveriesInFolder returns.

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
