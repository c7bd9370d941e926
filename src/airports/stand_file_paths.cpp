// Where an airport's stand file is: the local folders of generated and linked files, link files,
// the update server's archive, and the learned file that belongs to a stand file.
#include <algorithm>
#include <optional>
#include <system_error>
#include <vector>

#include <fmt/format.h>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "foundation/download.h"
#include "foundation/file_names.h"
#include "foundation/text_file.h"
#include "platform/paths.h"

namespace {

constexpr const char* kStockArchive = "archive/stock/";

void lf_replaceFirst(std::string& text, const std::string& what, const std::string& with) {
  const auto at = text.find(what);
  if (at != std::string::npos) {
    text.replace(at, what.size(), with);
  }
}

void lf_replaceAll(std::string& text, const std::string& what, const std::string& with) {
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
}

// "airports\learned", the learned root as the stand-file paths spell it.
std::string lf_learnedDirText() {
  return gf_pathToUtf8(g_airportsDir) + g_pathSeparator + g_learnedName;
}

// A learned file always lies under airports\learned: a path text of another form (a server path
// of a link file without "archive", a drive path) goes below it, and ".." never climbs out.
std::string lf_underLearned(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find_first_of("\\/", start), text.size());
    std::string part = text.substr(start, end - start);
    const bool drive = parts.empty() && !part.empty() && part.back() == ':';
    if (!part.empty() && part != "." && part != ".." && !drive) {
      parts.push_back(std::move(part));
    }
    start = end + 1;
  }
  std::string result = lf_learnedDirText();
  const bool learned =
      parts.size() >= 2 && parts[0] == gf_pathToUtf8(g_airportsDir) && parts[1] == g_learnedName;
  for (std::size_t i = learned ? 2 : 0; i < parts.size(); ++i) {
    result += g_pathSeparator + parts[i];
  }
  return result;
}

}  // namespace

std::string lf_apfName(const std::string& icao) { return icao + ".xml"; }

std::filesystem::path gf_apfFileName(const std::string& icao) {
  return gf_pathFromUtf8(lf_apfName(icao));
}

std::filesystem::path lf_linkFileName(const std::string& icao) {
  return gf_pathFromUtf8(icao + ".txt");
}

bool lf_downloadStockApf(const std::string& icao) {
  curlHolder holder;
  const std::string url = gf_downloadFolderUrl() + kStockArchive + lf_apfName(icao);
  const std::filesystem::path local = gf_apfFileName(icao);
  const bool ok = gf_download(holder, url, local, false);
  // The download only tells whether the server has the file; never leave it behind.
  std::error_code ignored;
  std::filesystem::remove(local, ignored);
  return ok;
}

bool gf_existsApf(const std::string& icao) {
  namespace fs = std::filesystem;
  return fs::exists(g_myThirdpartyDir / gf_apfFileName(icao)) ||
         fs::exists(g_myThirdpartyDir / lf_linkFileName(icao)) ||
         fs::exists(g_myORBXDir / gf_apfFileName(icao)) ||
         fs::exists(g_myORBXDir / lf_linkFileName(icao)) || lf_downloadStockApf(icao);
}

namespace {

// The answer of the local folders: a link file's name or a stand file's path text; nullopt when
// they have nothing for the airport (the server is asked next).
std::optional<std::string> lf_localApfPath(const std::string& icao) {
  namespace fs = std::filesystem;
  for (const fs::path& folder : {g_myThirdpartyDir, g_myORBXDir}) {
    const fs::path link = folder / lf_linkFileName(icao);
    std::string name;
    if (fs::exists(link) && lf_readLinkFile(link, name)) {
      return name;
    }
    if (fs::exists(folder / gf_apfFileName(icao))) {
      // The path text as the stand files and the learned-file rule spell it.
      return gf_pathToUtf8(g_airportsDir) + g_pathSeparator + gf_pathToUtf8(folder.filename()) +
             g_pathSeparator + lf_apfName(icao);
    }
  }
  return std::nullopt;
}

}  // namespace

std::string gf_apfPath(const std::string& icao) {
  if (std::optional<std::string> local = lf_localApfPath(icao)) {
    return *local;
  }
  if (lf_downloadStockApf(icao)) {
    return kStockArchive + lf_apfName(icao);
  }
  return {};
}

bool gf_isServerApfPath(const std::string& path) {
  return !path.empty() && !path.starts_with(gf_pathToUtf8(g_airportsDir));
}

std::optional<ApfSource> gf_localApfSource(const std::string& icao) {
  std::optional<std::string> local = lf_localApfPath(icao);
  if (!local || gf_isServerApfPath(*local)) {
    return std::nullopt;
  }
  return ApfSource{*local, {}};
}

ApfSource gf_fetchApf(const std::string& icao) {
  if (std::optional<ApfSource> local = gf_localApfSource(icao)) {
    return *local;
  }
  ApfSource source{lf_localApfPath(icao).value_or(kStockArchive + lf_apfName(icao)), {}};
  if (source.path.empty()) {
    return source;  // a link file that names nothing
  }
  const std::filesystem::path file =
      g_airportsDir / gf_pathFromUtf8(fmt::format("park_airport_{}.xml", icao));
  if (!lf_download(source.path, file).empty()) {
    std::error_code ignored;
    std::filesystem::remove(file, ignored);
    return {};
  }
  source.downloaded = file;
  return source;
}

bool lf_readLinkFile(const std::filesystem::path& path, std::string& out) {
  TextFile file{path, {}};
  const std::vector<std::string>* lines = gf_readTextFile(file, 1);
  if (lines == nullptr || lines->empty()) {
    return false;
  }
  std::string name = lines->front();
  // Whatever follows the end of ".xml" (a carriage return, blanks) is not part of the name.
  while (!name.empty() && name.back() != 'l') {
    name.pop_back();
  }
  out = name;
  return true;
}

std::string lf_apfPathText(const std::string& standFilePath, const std::string& publisher) {
  std::string text = standFilePath;
  if (text.empty()) {
    return text;
  }
  if (text.find("archive") != std::string::npos) {
    lf_replaceFirst(text, "archive", lf_learnedDirText());
    lf_replaceAll(text, "/", "\\");
    lf_replaceAll(text, "%20", " ");
  } else if (text.starts_with(gf_pathToUtf8(g_airportsDir))) {
    text.replace(0, gf_pathToUtf8(g_airportsDir).size(), lf_learnedDirText());
    const std::string thirdparty = g_thirdpartyName + g_pathSeparator + publisher;
    if (text.find("my_thirdparty2024") != std::string::npos) {
      lf_replaceFirst(text, "my_thirdparty2024", thirdparty);
    } else {
      lf_replaceFirst(text, "my_thirdparty", thirdparty);
    }
  } else {
    lf_replaceAll(text, "%20", " ");
  }
  return lf_underLearned(text);
}

std::filesystem::path lf_pathFromText(const std::string& text) { return gf_winPath(text); }

std::filesystem::path gf_learnedApfPath(const std::string& standFilePath,
                                        const std::string& publisher) {
  return lf_pathFromText(lf_apfPathText(standFilePath, publisher));
}
