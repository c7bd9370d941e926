// Reading and caching the registry's store file. Any thread; one mutex guards the cache.
#include "platform/registry_store.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <sstream>
#include <vector>

#include "platform/paths_env.h"
#include "platform/win32_registry.h"
#include "platform/win32_text.h"

namespace fs = std::filesystem;

namespace {

struct RootName {
  HKEY root;
  const char* longName;
  const char* shortName;
};

const RootName* lf_roots(std::size_t& count) {
  static const RootName roots[] = {
      {HKEY_CLASSES_ROOT, "hkey_classes_root", "hkcr"},
      {HKEY_CURRENT_USER, "hkey_current_user", "hkcu"},
      {HKEY_LOCAL_MACHINE, "hkey_local_machine", "hklm"},
      {HKEY_USERS, "hkey_users", "hku"},
      {HKEY_CURRENT_CONFIG, "hkey_current_config", "hkcc"},
  };
  count = std::size(roots);
  return roots;
}

std::string lf_lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(), [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  });
  return out;
}

std::string_view lf_trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// Reads a quoted text at `pos` (which holds the opening quote); \\ and \" are escapes.
std::optional<std::string> lf_quoted(std::string_view line, std::size_t& pos) {
  if (pos >= line.size() || line[pos] != '"') return std::nullopt;
  std::string out;
  for (++pos; pos < line.size(); ++pos) {
    char c = line[pos];
    if (c == '"') {
      ++pos;
      return out;
    }
    if (c == '\\' && pos + 1 < line.size() && (line[pos + 1] == '\\' || line[pos + 1] == '"')) {
      c = line[++pos];
    }
    out.push_back(c);
  }
  return std::nullopt;
}

// "name"="text" or "name"=dword:hhhhhhhh (also @ for the default value).
bool lf_parseValue(std::string_view line, std::string& name, RegistryValue& value) {
  std::size_t pos = 0;
  if (line.front() == '@') {
    name.clear();
    pos = 1;
  } else {
    auto quotedName = lf_quoted(line, pos);
    if (!quotedName) return false;
    name = *quotedName;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  const std::string_view data = lf_trim(line.substr(pos + 1));
  if (!data.empty() && data.front() == '"') {
    std::size_t at = 0;
    auto text = lf_quoted(data, at);
    if (!text || at != data.size()) return false;
    value.type = REG_SZ;
    value.text = gf_toUtf16(*text);
    return true;
  }
  constexpr std::string_view kDword = "dword:";
  if (data.size() > kDword.size() && lf_lower(data.substr(0, kDword.size())) == kDword) {
    const std::string_view digits = data.substr(kDword.size());
    DWORD number = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), number, 16);
    if (error != std::errc() || end != digits.data() + digits.size()) return false;
    value.type = REG_DWORD;
    value.number = number;
    return true;
  }
  return false;
}

// Adds the key and every key above it (a key exists when a key below it does).
void lf_addKey(RegistryContent& content, const std::string& path) {
  for (std::size_t cut = path.find('\\'); cut != std::string::npos;
       cut = path.find('\\', cut + 1)) {
    content.keys.try_emplace(path.substr(0, cut));
  }
  content.keys.try_emplace(path);
}

std::string lf_keyFromHeader(std::string_view header) {
  const std::size_t cut = header.find('\\');
  const std::string rootName = lf_lower(header.substr(0, cut));
  std::size_t count = 0;
  const RootName* roots = lf_roots(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (rootName == roots[i].longName || rootName == roots[i].shortName) {
      return gf_registryKeyPath(roots[i].root, cut == std::string_view::npos
                                                   ? std::string_view()
                                                   : header.substr(cut + 1));
    }
  }
  return {};
}

struct Cache {
  std::mutex mutex;
  fs::path path;                                   // under mutex
  timespec modified{};                             // under mutex
  off_t size = -1;                                 // under mutex
  std::shared_ptr<const RegistryContent> content;  // under mutex
};

Cache& lf_cache() {
  static auto* cache = new Cache;  // never destroyed: keys may be read from static destructors
  return *cache;
}

std::shared_ptr<const RegistryContent> lf_load(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return std::make_shared<const RegistryContent>(gf_parseRegistry(text.str(), path.string()));
}

}  // namespace

std::string gf_registryKeyPath(HKEY root, std::string_view subPath) {
  std::size_t count = 0;
  const RootName* roots = lf_roots(count);
  const RootName* found = nullptr;
  for (std::size_t i = 0; i < count; ++i) {
    if (roots[i].root == root) found = &roots[i];
  }
  if (found == nullptr) return {};
  std::string path = found->longName;
  std::string element;
  auto flush = [&] {
    if (!element.empty()) path += '\\' + lf_lower(element);
    element.clear();
  };
  for (char c : subPath) {
    if (c == '\\') {
      flush();
    } else {
      element.push_back(c);
    }
  }
  flush();
  return path;
}

RegistryContent gf_parseRegistry(std::string_view text, const std::string& origin) {
  RegistryContent content;
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::string currentKey;
  int lineNumber = 0;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    const std::string_view line = lf_trim(text.substr(0, end));
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    ++lineNumber;
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[' && line.back() == ']') {
      currentKey = lf_keyFromHeader(lf_trim(line.substr(1, line.size() - 2)));
      if (currentKey.empty()) {
        std::fprintf(stderr, "registry %s:%d: unknown root key, section skipped\n", origin.c_str(),
                     lineNumber);
      } else {
        lf_addKey(content, currentKey);
      }
      continue;
    }
    std::string name;
    RegistryValue value;
    if (currentKey.empty() || !lf_parseValue(line, name, value)) {
      std::fprintf(stderr, "registry %s:%d: malformed line skipped\n", origin.c_str(), lineNumber);
      continue;
    }
    content.keys[currentKey].insert_or_assign(lf_lower(name), std::move(value));
  }
  return content;
}

std::shared_ptr<const RegistryContent> gf_registryContent() {
  Cache& cache = lf_cache();
  const fs::path path = gf_registryFilePath();
  struct stat info {};
  const bool present = ::stat(path.c_str(), &info) == 0;
  std::lock_guard lock(cache.mutex);
  const bool unchanged = cache.content && cache.path == path &&
                         cache.size == (present ? info.st_size : -1) &&
                         (!present || (cache.modified.tv_sec == info.st_mtim.tv_sec &&
                                       cache.modified.tv_nsec == info.st_mtim.tv_nsec));
  if (unchanged) return cache.content;
  cache.path = path;
  cache.size = present ? info.st_size : -1;
  cache.modified = present ? info.st_mtim : timespec{};
  cache.content = present ? lf_load(path) : std::make_shared<const RegistryContent>();
  return cache.content;
}

fs::path gf_registryFilePath() {
  if (auto path = gf_envText("ZENDRIK_REGISTRY")) return *path;
  return gf_configHomeFolder() / "zendrik" / "registry.txt";
}
