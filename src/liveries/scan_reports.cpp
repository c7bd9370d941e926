// Report collections of the livery scan and the report files written from them. The appenders
// run on the scan tasks; the writer and the clearing on the worker thread after the tasks.

#include "liveries/scan_reports.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>

#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/dont_use_titles.h"
#include "liveries/fltsim_section.h"
#include "liveries/liveries_scan.h"
#include "platform/paths.h"

std::list<std::string> g_invalidCfgFiles;
std::mutex g_invalidCfgFilesMutex;
std::list<std::string> g_incompleteSections;
std::mutex g_incompleteSectionsMutex;
std::list<std::string> g_invalidAirlineCodes;
std::mutex g_invalidAirlineCodesMutex;
std::list<std::string> g_invalidModelCodes;
std::mutex g_invalidModelCodesMutex;
std::list<std::string> g_cfgWithoutFltsim;
std::mutex g_cfgWithoutFltsimMutex;
std::vector<std::string> g_codeFixes;
std::mutex g_codeFixesMutex;

namespace {

template <typename Collection>
void lf_append(Collection& collection, std::mutex& mutex, std::string text) {
  std::lock_guard lock(mutex);
  collection.push_back(std::move(text));
}

// Makes the errors folder when it is missing; file-system errors leave as exceptions.
void lf_ensureErrorsFolder() {
  if (!std::filesystem::exists(g_errorsDir)) std::filesystem::create_directories(g_errorsDir);
}

void lf_writeErrorList(std::list<std::string>& lines, const std::filesystem::path& file,
                       const std::string& summary) {
  if (lines.empty()) return;
  lines.sort();
  lf_ensureErrorsFolder();
  lf_writeLines(lines, file);
  gf_log(summary);
}

}  // namespace

void lf_addInvalidCfgFile(const std::string& text) {
  lf_append(g_invalidCfgFiles, g_invalidCfgFilesMutex, text);
}

void lf_addIncompleteSection(const std::string& text) {
  lf_append(g_incompleteSections, g_incompleteSectionsMutex, text);
}

void lf_addCodeFix(const std::string& text) {
  lf_append(g_codeFixes, g_codeFixesMutex, text);
}

void lf_addCfgWithoutFltsim(const std::string& cfgPath) {
  lf_append(g_cfgWithoutFltsim, g_cfgWithoutFltsimMutex, cfgPath);
}

void lf_addInvalidAirlineCode(const std::string& code, const std::string& cfgPath,
                              const std::string& header) {
  lf_append(g_invalidAirlineCodes, g_invalidAirlineCodesMutex,
            fmt::format("{:12} in {} ", code, cfgPath) + header);
}

void lf_addInvalidModelCode(const std::string& code, const std::string& cfgPath) {
  lf_append(g_invalidModelCodes, g_invalidModelCodesMutex,
            fmt::format("{:16} in {}", code, cfgPath));
}

bool lf_writeLines(const std::list<std::string>& lines, const std::filesystem::path& file) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  if (!out) return false;
  for (const std::string& line : lines) out << line << '\n';
  return true;
}

void lf_writeScanReport() {
  const bool noErrors = g_invalidAirlineCodes.empty() && g_invalidModelCodes.empty() &&
                        g_codeFixes.empty() && g_invalidCfgFiles.empty() &&
                        g_incompleteSections.empty();
  gf_log(noErrors ? "\nNo errors" : "\nErrors:");
  const auto airlineCount = g_invalidAirlineCodes.size();
  lf_writeErrorList(g_invalidAirlineCodes, g_invalidAirlineCodesFile,
                    fmt::format("{} invalid airline code{}, see {}", airlineCount,
                                gf_plural(airlineCount), gf_pathToUtf8(g_invalidAirlineCodesFile)));
  const auto modelCount = g_invalidModelCodes.size();
  lf_writeErrorList(g_invalidModelCodes, g_invalidAircraftCodesFile,
                    fmt::format("{} invalid model code{}, see {}", modelCount,
                                gf_plural(modelCount), gf_pathToUtf8(g_invalidAircraftCodesFile)));
  if (!g_codeFixes.empty()) {
    lf_ensureErrorsFolder();
    gf_writeStringVectorToFile(g_codeFixes, g_fixesFile);
    gf_log(fmt::format("{} code fixes, see {}", g_codeFixes.size(), gf_pathToUtf8(g_fixesFile)));
  }
  lf_writeErrorList(g_invalidCfgFiles, g_invalidAircraftCfgFilesFile,
                    fmt::format("{} invalid aircraft.cfg files, see {}", g_invalidCfgFiles.size(),
                                gf_pathToUtf8(g_invalidAircraftCfgFilesFile)));
  lf_writeErrorList(
      g_incompleteSections, g_incompleteFltsimSectionsFile,
      fmt::format("{} incomplete [fltsim.x] sections, see {}", g_incompleteSections.size(),
                  gf_pathToUtf8(g_incompleteFltsimSectionsFile)));
  gf_log("\nInformation:");
  if (!g_cfgWithoutFltsim.empty()) {
    g_cfgWithoutFltsim.sort();
    lf_writeLines(g_cfgWithoutFltsim, g_cfgWithNoFltsimFile);
    gf_log(fmt::format("{} empty aircraft.cfg files, see {}", g_cfgWithoutFltsim.size(),
                       gf_pathToUtf8(g_cfgWithNoFltsimFile)));
  }
  if (!g_dbaseUpdateLines.empty()) {
    gf_writeStringVectorToFile(g_dbaseUpdateLines, g_airlineModelConversionsFile);
    gf_log(fmt::format("{} liveries updated with real live data from dbase, see {}",
                       g_dbaseUpdateLines.size(), gf_pathToUtf8(g_airlineModelConversionsFile)));
  }
}

void lf_clearScanLists() {
  g_invalidCfgFiles.clear();
  g_incompleteSections.clear();
  g_invalidAirlineCodes.clear();
  g_invalidModelCodes.clear();
  g_cfgWithoutFltsim.clear();
  g_codeFixes.clear();
  g_dbaseUpdateLines.clear();
  {
    std::lock_guard lock(g_seenTitlesMutex);
    g_seenTitles.clear();
  }
  g_dontUseTitles.clear();
}
