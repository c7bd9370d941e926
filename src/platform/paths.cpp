// Windows path texts to native paths, and case-insensitive resolution of existing paths.
// Any thread; reads the file system and the environment only.
#include "platform/paths.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/paths_env.h"

namespace fs = std::filesystem;

std::optional<std::string> gf_envText(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

fs::path gf_homeFolder() {
  if (auto home = gf_envText("HOME")) return *home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return "/tmp";
}

fs::path gf_configHomeFolder() {
  if (auto config = gf_envText("XDG_CONFIG_HOME")) return *config;
  return gf_homeFolder() / ".config";
}

fs::path gf_dataHomeFolder() {
  if (auto data = gf_envText("XDG_DATA_HOME")) return *data;
  return gf_homeFolder() / ".local" / "share";
}

bool gf_equalNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

namespace {

bool lf_exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec)) && !ec;
}

// The entry of `folder` whose name equals `name` ignoring case; the first in name order when
// several do.
std::optional<std::string> lf_findNoCase(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::directory_iterator it(folder.empty() ? fs::path(".") : folder, ec);
  std::vector<std::string> matches;
  for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
    std::string entry = it->path().filename().string();
    if (gf_equalNoCase(entry, name)) matches.push_back(std::move(entry));
  }
  if (matches.empty()) return std::nullopt;
  return *std::min_element(matches.begin(), matches.end());
}

}  // namespace

fs::path gf_driveRoot(char letter) {
  if (!std::isalpha(static_cast<unsigned char>(letter))) return {};
  const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  const std::string variable = std::string("ZENDRIK_DRIVE_") + upper;
  if (auto root = gf_envText(variable.c_str())) return *root;
  return gf_dataHomeFolder() / "zendrik" / (std::string("drive_") + lower);
}

fs::path gf_resolvePathCase(const fs::path& path) {
  if (path.empty() || lf_exists(path)) return path;
  fs::path resolved = path.root_path();
  bool lost = false;  // an element was not found: the rest is kept as written
  for (const fs::path& element : path.relative_path()) {
    const std::string name = element.string();
    if (lost || name.empty() || name == "." || name == ".." || lf_exists(resolved / element)) {
      resolved /= element;
      continue;
    }
    if (auto match = lf_findNoCase(resolved, name)) {
      resolved /= *match;
    } else {
      resolved /= element;
      lost = true;
    }
  }
  // Keep a trailing separator of the input ("folder/").
  if (!path.has_filename() && resolved.has_filename()) resolved /= "";
  return resolved;
}

namespace {

// Windows resolves "." and ".." in path texts lexically, and never above a drive's root.
fs::path lf_normalRest(const std::string& rest, bool belowRoot) {
  fs::path normal = fs::path(rest).lexically_normal();
  if (!belowRoot) return normal;
  fs::path clamped;
  bool leading = true;
  for (const fs::path& element : normal) {
    if (leading && (element == ".." || element == ".")) continue;
    leading = false;
    clamped /= element;
  }
  return clamped;
}

}  // namespace

fs::path gf_winPath(std::string_view text) {
  if (text.empty()) return {};
  std::string native(text);
  std::replace(native.begin(), native.end(), '\\', '/');
  const bool hasDrive =
      native.size() >= 2 && native[1] == ':' && std::isalpha(static_cast<unsigned char>(native[0]));
  if (!hasDrive) return gf_resolvePathCase(lf_normalRest(native, false));
  std::string rest = native.substr(2);
  rest.erase(0, rest.find_first_not_of('/'));
  fs::path result = gf_driveRoot(native[0]);
  const fs::path normal = lf_normalRest(rest, true);
  if (!normal.empty()) result /= normal;
  return gf_resolvePathCase(result);
}

fs::path gf_pathFromUtf8(std::string_view text) { return fs::path(text); }

std::string gf_pathToUtf8(const fs::path& path) { return path.native(); }

std::FILE* gf_openFile(const fs::path& path, const char* mode) {
  return std::fopen(path.c_str(), mode);
}
