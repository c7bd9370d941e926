#pragma once
// The registration livery table: which stored title belongs to a real registration, from the
// catalogue's in-line registrations ("atc_id"), the downloaded AIG list and the user's regcode
// files (each later source overrides the earlier), and the special liveries that matching gives
// only through a registration. Built once per process after the matching tables, on the worker
// thread; emptied by gf_clearLiveryTables.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "liveries/regcodes.h"

// Registration as written in its source -> view of the stored title. Worker thread.
extern std::unordered_map<std::string, std::string_view> g_regLiveries;
// Stored titles of special definitions, one per applied definition. Worker thread.
extern std::vector<std::string_view> g_specialLiveries;
// Lines of OfflineRegcodes.txt; emptied at the start of lf_processRegcodes. Worker thread.
extern std::vector<std::string> g_regcodeReport;

// Enters the in-line registrations of g_liveries (first livery in catalogue order keeps a
// registration) and writes InlineRegcodes.txt when two titles claim one registration. Needs
// g_liveryAirlines. Throws std::filesystem::filesystem_error when the errors folder cannot be
// made.
void lf_inlineRegcodeClashes();
// Applies the AIG list (downloaded) and the user's regcode files, writes OfflineRegcodes.txt and
// logs the special count. Throws std::filesystem::filesystem_error ("remove") when an old file
// cannot be removed.
void lf_processRegcodes();
// Applies a list of definitions: registrations of installed titles into g_regLiveries, special
// titles into g_specialLiveries, one count line into g_regcodeReport.
void lf_applyRegcodeDef(const std::vector<RegcodeDef>& definitions);
