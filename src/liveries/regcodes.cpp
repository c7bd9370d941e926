// Reading of regcode text files and of the AIG registration-code file.

#include "liveries/regcodes.h"

#include <fmt/format.h>

#include <algorithm>
#include <pugixml.hpp>
#include <system_error>

#include "foundation/log.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "liveries/code_scrambler.h"
#include "platform/paths.h"

namespace {

constexpr std::size_t kMinRegLength = 3;
constexpr std::size_t kMaxRegLength = 12;
constexpr std::size_t kTitleOnlyFields = 1;
constexpr std::size_t kMaxFields = 3;
constexpr std::size_t kLinesReserve = 512;

// What one regcode file line needs: the file for messages, the list to fill, the result flag.
struct RegcodeContext {
  std::string path;
  std::vector<RegcodeDef>& list;
  bool& ok;
};

// The pieces of a ','-separated text, trimmed, ascending, without repeats.
std::vector<std::string> lf_sortedCodes(const std::string& text) {
  std::vector<std::string> codes = gf_split(text, ',');
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

bool lf_validLength(const std::string& code) {
  return code.size() >= kMinRegLength && code.size() <= kMaxRegLength;
}

void lf_wrongLength(RegcodeContext& ctx, const std::string& code) {
  gf_logError(fmt::format("wrong regcode length \"{}\" in {}", code, ctx.path));
  ctx.ok = false;
}

void lf_readRegcodes(RegcodeContext& ctx, const std::vector<std::string>& fields) {
  std::vector<std::string> codes = lf_sortedCodes(fields[1]);
  if (codes.empty()) return;
  if (codes.size() == 1) {
    // A definition of one registration is always special.
    if (!lf_validLength(codes.front())) return lf_wrongLength(ctx, codes.front());
    ctx.list.push_back({fields[0], std::move(codes), true});
    return;
  }
  const bool special = fields.size() == kMaxFields && fields[2] == "#";
  std::vector<std::string> kept;
  for (std::string& code : codes) {
    if (lf_validLength(code))
      kept.push_back(std::move(code));
    else
      lf_wrongLength(ctx, code);
  }
  if (kept.empty()) {
    gf_logError(fmt::format("{} ; regs empty? ", ctx.path));
    return;
  }
  ctx.list.push_back({fields[0], std::move(kept), special});
}

void lf_readRegcodeLine(RegcodeContext& ctx, std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) return;
  const std::vector<std::string> fields = gf_split(line, ';');
  if (fields.size() == kTitleOnlyFields) {
    if (!fields[0].empty()) ctx.list.push_back({fields[0], {}, false});
  } else if (fields.size() <= kMaxFields) {
    lf_readRegcodes(ctx, fields);
  } else {
    gf_logError(fmt::format("{}: wrong format \"{}\"", ctx.path, line));
    ctx.ok = false;
  }
}

bool lf_isRegcodeFile(const std::filesystem::directory_entry& entry) {
  if (!entry.is_regular_file()) return false;
  std::string ext = gf_pathToUtf8(entry.path().extension());
  std::transform(ext.begin(), ext.end(), ext.begin(), gf_asciiUpper);
  return ext == ".TXT";
}

// Reads one regcode file through the encoding-aware reader, so that a byte-order mark never
// ends up in the first title and UTF-16 files read as text.
void lf_readRegcodeFile(const std::filesystem::path& file, std::vector<RegcodeDef>& list,
                        bool& ok) {
  RegcodeContext ctx{gf_pathToUtf8(file), list, ok};
  gf_log(fmt::format("Processing regcodes file \"{}\"", ctx.path));
  std::vector<std::string> lines;
  lines.reserve(kLinesReserve);
  const int encoding = gf_textFileEncoding(file);
  if (encoding == kTextCannotOpen) return;
  if (!gf_readTextFileToStringVector(encoding, file, lines)) {
    gf_logError(fmt::format("regcode file {} could not be read completely", ctx.path));
    ok = false;
  }
  for (std::string& line : lines) lf_readRegcodeLine(ctx, std::move(line));
}

}  // namespace

bool gf_readRegcodeFiles(const std::filesystem::path& folder, std::vector<RegcodeDef>& list) {
  bool ok = true;
  std::filesystem::path current = folder;
  try {
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      if (!lf_isRegcodeFile(entry)) continue;
      current = entry.path();
      lf_readRegcodeFile(current, list, ok);
    }
    gf_log(fmt::format("{} liverie{} read", list.size(), gf_plural(list.size())));
    return ok;
  } catch (const std::exception& e) {
    gf_logError(fmt::format("Error in reading regcode file {}, what: {}", gf_pathToUtf8(current),
                            e.what()));
    return false;
  }
}

int gf_readAigRegcodes(const std::filesystem::path& file, std::vector<RegcodeDef>& list) {
  pugi::xml_document doc;
  if (!doc.load_file(file.c_str())) {
    gf_logError(fmt::format("Failed to load {}", gf_pathToUtf8(file)));
    return 0;
  }
  for (pugi::xml_node node : doc.child("AIG-regcodes").children("livery")) {
    std::string title = node.attribute("title").value();
    if (title.empty()) continue;
    std::vector<std::string> regs = lf_sortedCodes(node.attribute("reg").value());
    // A doubled or trailing ',' gives an empty piece: no registration, and as a key it would
    // tie aircraft that report none to this title.
    std::erase(regs, std::string());
    for (std::string& reg : regs) reg = gf_decryptReg(reg);
    // Unscrambled codes keep the list's order and uniqueness.
    std::sort(regs.begin(), regs.end());
    regs.erase(std::unique(regs.begin(), regs.end()), regs.end());
    list.push_back({std::move(title), std::move(regs), node.attribute("special").as_bool()});
  }
  gf_backupFile(file);
  gf_log(fmt::format("{} liverie{} read from {}", list.size(), gf_plural(list.size()),
                     gf_pathToUtf8(file)));
  return 1;
}
