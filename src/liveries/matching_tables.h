#pragma once
// The livery matching tables, built once per process from the catalogue (g_liveries) on the
// worker thread and afterwards only read by matching, without locks.
//
// Every title is stored once, in g_liveryAirlines. The other tables of this file and of
// registration_liveries.h, g_liveryById and the livery field of the aircraft records hold
// string_views of those stored titles. gf_clearLiveryTables frees them; it runs on the worker
// between runs only, and empties g_liveryById with the tables, so that no view outlives its title.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "foundation/park_pos.h"  // AircraftKeyHash: FNV-1a over the four bytes of an aircraft key

// The stored copy of one livery.
struct LiveryEntry {
  std::string title;  // capacity trimmed to its length
  bool cargo = false;
};

using TitleViews = std::vector<std::string_view>;
using TypeTitles = std::unordered_map<std::string, TitleViews>;  // ICAO type -> titles

// airline -> ICAO type -> liveries in title order. Owns every title. Worker thread.
extern std::unordered_map<std::string, std::unordered_map<std::string, std::vector<LiveryEntry>>>
    g_liveryAirlines;
// [0] passenger, [1] cargo: airline -> type -> titles (title order); only non-empty entries.
extern std::array<std::unordered_map<std::string, TypeTitles>, 2> g_airlineLiveries;
// type -> passenger / cargo titles over all airlines ("ZZZ" included); order not defined.
extern TypeTitles g_paxTypeLiveries;
extern TypeTitles g_cargoTypeLiveries;
// Distinct types with liveries of the size categories Light, Buzjets and Rotorcraft, ascending.
// Filled by the category summary (lf_categorySummary).
extern std::vector<std::string> g_lightTypes;
extern std::vector<std::string> g_buzjetTypes;
extern std::vector<std::string> g_rotorcraftTypes;
// The list above of a size category; null for the categories without one.
std::vector<std::string>* gf_categoryTypeList(std::uint32_t category);
// The airline code of generic liveries, "ZZZ".
extern const std::string g_genericAirline;
// Aircraft key -> title last given to it, so that an aircraft that comes back keeps its livery.
// Filled and read by the traffic engine on the worker; emptied at the end of each run, once a
// day, on traffic reset and by gf_clearLiveryTables.
extern std::unordered_map<std::uint32_t, std::string_view, AircraftKeyHash> g_liveryById;

// Builders, in the order the livery processing calls them (livery_processing.cpp).
void lf_buildLiveryAirlines();   // g_liveryAirlines from g_liveries (sorted)
void lf_buildAirlineLiveries();  // g_airlineLiveries from g_liveryAirlines
void lf_buildTypeLiveries();     // g_paxTypeLiveries, g_cargoTypeLiveries
// Logs the types that have a generic ("ZZZ") livery (category_summary.cpp).
void lf_logGenericLiveries();
// Logs the liveries of one size category 0..5, fills its type list and switches the settings of
// Light, HighPerf and Rotorcraft off when they have no livery (category_summary.cpp).
void lf_categorySummary(std::uint32_t category);

// Queries.
bool gf_typeHasLiveries(const std::string& type);
bool gf_airlineHasType(const std::string& airline, const std::string& type);
// The first three characters of every airline key of g_liveryAirlines, in map order.
std::vector<std::string> lf_liveryAirlineCodes();
// A view of the stored copy of the title; empty when the catalogue has none.
std::string_view gf_storedTitle(const std::string& title);

// Empties every table built from the catalogue (views before their owner), the registration and
// similar-type tables and g_liveryById. Worker thread, between runs only.
void gf_clearLiveryTables();
// First call only: reserves room in the special-livery list and the three type lists.
void gf_reserveMatchTables();
