// The registration livery table: in-line registrations of the catalogue, the AIG list and the
// user's regcode files applied in that order, and the special liveries. Worker thread, during
// the livery processing.

#include "liveries/registration_liveries.h"

#include <fmt/format.h>

#include <filesystem>
#include <list>

#include "foundation/download.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/livery.h"
#include "liveries/matching_tables.h"
#include "liveries/scan_reports.h"
#include "platform/paths.h"

std::unordered_map<std::string, std::string_view> g_regLiveries;
std::vector<std::string_view> g_specialLiveries;
std::vector<std::string> g_regcodeReport;

namespace fs = std::filesystem;

namespace {

const fs::path& lf_aigRegcodesZip() {
  static const fs::path s_zip{"AIG-regcodes.zip"};
  return s_zip;
}

const fs::path& lf_offlineRegcodesFile() {
  static const fs::path s_file{g_infoDir / "OfflineRegcodes.txt"};
  return s_file;
}

struct ApplyCounts {
  std::size_t added = 0;
  std::size_t replaced = 0;
  std::size_t special = 0;
};

void lf_applyRegcode(const std::string& reg, std::string_view title, ApplyCounts& counts) {
  const auto [entry, inserted] = g_regLiveries.try_emplace(reg, title);
  if (inserted) {
    ++counts.added;
    return;
  }
  if (entry->second == title) return;
  g_regcodeReport.push_back(fmt::format("   regcode {} for \"{}\", instead of the same for \"{}\"",
                                        reg, title, entry->second));
  entry->second = title;
  ++counts.replaced;
}

void lf_applyAigRegcodes(const fs::path& file) {
  g_regcodeReport.push_back("Processing file " + gf_pathToUtf8(file));
  std::vector<RegcodeDef> definitions;
  bool read = false;
  try {
    read = gf_readAigRegcodes(file, definitions) != 0;
  } catch (const std::exception& e) {
    // A damaged downloaded list must not stop every start-up: the definitions read before the
    // fault are applied, the other sources still are.
    gf_logError(fmt::format("reading {} failed? {}", gf_pathToUtf8(file), e.what()));
  }
  if (!read)
    g_regcodeReport.push_back(
        fmt::format("There were errors in processing the AIG-regcode file \"{}\", see the Log.txt",
                    gf_pathToUtf8(file)));
  if (!definitions.empty()) lf_applyRegcodeDef(definitions);
}

void lf_applyRegcodeFiles() {
  if (gf_countFiles(g_myRegcodesDir) == 0) return;
  g_regcodeReport.push_back("Processing files in " + gf_pathToUtf8(g_myRegcodesDir));
  std::vector<RegcodeDef> definitions;
  if (!gf_readRegcodeFiles(g_myRegcodesDir, definitions))
    gf_showMessage(fmt::format("There were errors in processing the regcode files in folder "
                               "\"{}\", see the Log.txt",
                               gf_pathToUtf8(g_myRegcodesDir)),
                   true);
  if (!definitions.empty()) lf_applyRegcodeDef(definitions);
}

void lf_writeInlineClashes(const std::list<std::string>& clashes) {
  if (!fs::exists(g_errorsDir)) fs::create_directories(g_errorsDir);
  const fs::path& file = g_inlineRegcodesFile;
  if (!lf_writeLines(clashes, file))
    gf_logError(fmt::format("could not write {}", gf_pathToUtf8(file)));
  gf_log(
      fmt::format("{} in-line regcode clashes, see \"{}\"", clashes.size(), gf_pathToUtf8(file)));
}

}  // namespace

void lf_inlineRegcodeClashes() {
  std::list<std::string> clashes;  // newest first
  for (const Livery& livery : g_liveries) {
    if (livery.atcid.empty()) continue;
    const std::string_view stored = gf_storedTitle(livery.title);
    if (stored.empty())
      continue;  // cannot happen once the tables stand; never enter a dangling view
    const auto [entry, inserted] = g_regLiveries.try_emplace(livery.atcid, stored);
    if (inserted || entry->second == stored) continue;
    clashes.push_front(fmt::format("{} \"{}\" => already in use by \"{}\"", livery.atcid,
                                   livery.title, entry->second));
  }
  if (!clashes.empty()) lf_writeInlineClashes(clashes);
}

void lf_applyRegcodeDef(const std::vector<RegcodeDef>& definitions) {
  ApplyCounts counts;
  for (const RegcodeDef& definition : definitions) {
    const std::string_view stored = gf_storedTitle(definition.title);
    if (stored.empty()) continue;  // not installed
    for (const std::string& reg : definition.regs) lf_applyRegcode(reg, stored, counts);
    if (definition.special) {
      g_specialLiveries.push_back(stored);
      ++counts.special;
    }
  }
  std::string line = fmt::format("{} new regcode{} added", counts.added, gf_plural(counts.added));
  if (counts.replaced > 0)
    line += fmt::format(", {} regcode{} replaced", counts.replaced, gf_plural(counts.replaced));
  if (counts.special > 0)
    line +=
        fmt::format(", {} regcode{} defined as special", counts.special, gf_plural(counts.special));
  g_regcodeReport.push_back(std::move(line));
}

void lf_processRegcodes() {
  g_regcodeReport.clear();
  if (gf_downloadAndUnzip(lf_aigRegcodesZip(), g_aigRegcodesFile)) {
    lf_applyAigRegcodes(g_aigRegcodesFile);
    gf_removeFile(g_aigRegcodesFile);
  } else {
    gf_logError("reading AIG-regcodes failed?");
  }
  lf_applyRegcodeFiles();

  const fs::path& report = lf_offlineRegcodesFile();
  gf_removeFile(report);
  if (!g_regcodeReport.empty()) {
    if (!fs::exists(g_infoDir)) fs::create_directories(g_infoDir);
    gf_writeStringVectorToFile(g_regcodeReport, report);
    gf_log(fmt::format("Offline regcode files processed, results can be found in \"{}\"",
                       gf_pathToUtf8(report)));
  }
  if (!g_specialLiveries.empty())
    gf_log(fmt::format("{} special liveries", g_specialLiveries.size()));
}
