// The don't-use titles of the livery scan, from the AIG list and the user's regcode files.
// Worker thread, at the start of a scan.

#include "liveries/dont_use_titles.h"

#include <fmt/format.h>

#include "foundation/download.h"
#include "foundation/file_helpers.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/strings.h"
#include "liveries/regcodes.h"
#include "platform/paths.h"

std::vector<std::string> g_dontUseTitles;

namespace {

// Appends the titles of the definitions without registrations; their number.
std::size_t lf_appendTitlesWithoutRegs(const std::vector<RegcodeDef>& definitions) {
  std::size_t appended = 0;
  for (const RegcodeDef& definition : definitions) {
    if (!definition.regs.empty()) continue;
    g_dontUseTitles.push_back(definition.title);
    ++appended;
  }
  return appended;
}

}  // namespace

void lf_readDontUseTitles() {
  static const std::filesystem::path kAigZip("AIG-regcodes.zip");
  if (gf_downloadAndUnzip(kAigZip, g_aigRegcodesFile)) {
    lf_readAigDontUse(g_aigRegcodesFile);
    if (std::filesystem::exists(g_aigRegcodesFile)) gf_removeFile(g_aigRegcodesFile);
  } else {
    gf_logError(fmt::format("reading {} failed?", gf_pathToUtf8(g_aigRegcodesFile)));
  }
  if (gf_countFiles(g_myRegcodesDir) > 0) lf_readFilesDontUse();
}

void lf_readAigDontUse(const std::filesystem::path& file) {
  std::vector<RegcodeDef> definitions;
  try {
    gf_readAigRegcodes(file, definitions);
  } catch (const std::exception& e) {
    // A damaged list must not end the scan: the titles read before the fault are kept.
    gf_logError(fmt::format("reading {} failed? {}", gf_pathToUtf8(file), e.what()));
  }
  const std::size_t appended = lf_appendTitlesWithoutRegs(definitions);
  gf_log(fmt::format("{} don't use title{} read", appended, gf_plural(appended)));
}

void lf_readFilesDontUse() {
  std::vector<RegcodeDef> definitions;
  gf_readRegcodeFiles(g_myRegcodesDir, definitions);
  const std::size_t appended = lf_appendTitlesWithoutRegs(definitions);
  gf_log(fmt::format("{} don't use title{} read from files in {}", appended, gf_plural(appended),
                     gf_pathToUtf8(g_myRegcodesDir)));
}
