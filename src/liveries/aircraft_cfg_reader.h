#pragma once
// Reading one aircraft.cfg or sim.cfg: key lines, [fltsim.N] headers and their numbering, the
// file's one type code, and the line step that cuts the file into sections. Runs inside the
// scan tasks, many files at once; the only shared state touched is the report collections
// (scan_reports.h) and the read-only database tables.
//
// A key line is matched as a whole, letters in any case: optional blanks, the key, optional
// blanks, '=', optional blanks, the value up to its last non-blank character, optional blanks.
// Blanks are ' ', '\t', '\n', '\v', '\f' and '\r'; the value holds no '\n' or '\r'. Everything
// after the value on the line (a ";" comment too) is part of it.

#include <cstdint>
#include <list>
#include <string>
#include <string_view>
#include <vector>

#include "liveries/fltsim_section.h"
#include "liveries/livery.h"

// Room reserved for the lines of one file and of one section.
inline constexpr std::size_t kCfgLinesReserve = 4048;
inline constexpr std::size_t kSectionLinesReserve = 48;
// Section number text of a header whose number is missing or malformed.
inline constexpr std::string_view kMalformedFltsimNumber = "10000";

// The value of `key` when the whole line is such a key line, else "".
std::string lf_matchKey(std::string_view line, std::string_view key);

// True when the key matches with a value, which is then assigned (left unchanged otherwise).
bool lf_titleKey(std::string_view line, std::string& value);
bool lf_simKey(std::string_view line, std::string& value);
bool lf_modelKey(std::string_view line, std::string& value);
bool lf_textureKey(std::string_view line, std::string& value);
bool lf_atcIdKey(std::string_view line, std::string& value);
bool lf_parkingTypesKey(std::string_view line, std::string& value);
// As above; only the first ','-separated piece (trimmed) is assigned.
bool lf_parkingCodesKey(std::string_view line, std::string& value);
std::string lf_atcModelKey(std::string_view line);
// Plain, exact-case substring tests of the duplicate-key rules.
bool lf_hasAtcIdKey(std::string_view line);
bool lf_hasParkingTypesKey(std::string_view line);

// Digits of a [fltsim.N] header (any letter case), "10000" for a line holding "[fltsim." or
// "[FLTSIM." that is no proper header, "" otherwise (and for lines beginning with "//").
std::string lf_fltsimNumber(std::string_view line);

// Sections must be numbered 0 .. n-1. False (the file yields nothing) for a number that does not
// fit 32 bits (logged) or a gap, repeat or malformed header (g_invalidCfgFiles); true for a file
// without any header (its path goes to g_cfgWithoutFltsim) and for a good one.
bool lf_checkFltsimNumbers(const std::vector<std::string>& lines, const std::string& cfgPath);

// The type code of an ordinary file from its first atc_model line, checked against the database
// and its fixes; "" (with a report line) when there is none.
std::string lf_modelFromAtcModel(const std::string& cfgPath, const std::vector<std::string>& lines);
// The type code of an IVAO model-set file from its folder name
// ...\IVAO_MTL\IVAO_<code>\aircraft.cfg (either separator); "" with a report line when the path is
// not of that form.
std::string lf_ivaoModelFromPath(const std::string& cfgPath);

// Reads the file's lines as UTF-8 after its encoding test; false when it cannot be opened or
// read. With logNoCharset the failed encoding test is logged as an error line.
bool lf_readCfgLines(const std::string& cfgPath, std::vector<std::string>& lines,
                     bool logNoCharset);

// The section collector of one file.
struct SectionCollector {
  bool inSection = false;
  std::vector<std::string> lines;            // the running section, header first
  std::int32_t priority = 0;                 // ordinal of the livery folder
  std::string type;                          // the file's type code
  std::string cfgPath;                       // path text of the file
  std::string folder;                        // path text of the folder holding it
  std::list<Livery>* destination = nullptr;  // the task's result list
  FolderChecks checks;                       // existence tests of the file's sections
};

// Feed one line of an ordinary / IVAO model-set file; finish after the last line.
void lf_lineStep(SectionCollector& state, const std::string& line);
void lf_mtlLineStep(SectionCollector& state, const std::string& line);
void lf_finishSections(SectionCollector& state, bool mtl);

// The path text up to its last '\' or '/'; "" without either.
std::string lf_folderOf(const std::string& pathText);
