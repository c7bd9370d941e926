// Private-profile (INI) files: GetPrivateProfileStringW, GetPrivateProfileIntW and
// GetPrivateProfileSectionW. Any thread; each call reads the file afresh.
#include <charconv>
#include <cstring>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "platform/paths_env.h"
#include "platform/win32_shell.h"
#include "platform/win32_text.h"

namespace {

struct ProfileEntry {
  std::string key;
  std::string value;
};

struct ProfileSection {
  std::string name;
  std::vector<ProfileEntry> entries;
};

std::string_view lf_trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t\r");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t\r");
  return text.substr(first, last - first + 1);
}

// The file's text as UTF-8: a UTF-16 file is recognised by its byte-order mark.
std::string lf_fileText(const std::string& bytes) {
  const auto startsWith = [&](std::string_view mark) {
    return bytes.compare(0, mark.size(), mark) == 0;
  };
  if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
    const bool bigEndian = bytes[0] == '\xFE';
    std::u16string units;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto first = static_cast<unsigned char>(bytes[i]);
      const auto second = static_cast<unsigned char>(bytes[i + 1]);
      units.push_back(
          static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return gf_toUtf8(units);
  }
  if (startsWith("\xEF\xBB\xBF")) return bytes.substr(3);
  return bytes;
}

std::optional<std::vector<ProfileSection>> lf_readProfile(LPCWSTR fileName) {
  if (fileName == nullptr) return std::nullopt;
  std::ifstream in(gf_winPath(gf_toUtf8(fileName)), std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream raw;
  raw << in.rdbuf();
  const std::string text = lf_fileText(raw.str());
  std::vector<ProfileSection> sections;
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    const std::string_view line = lf_trim(rest.substr(0, end));
    rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const auto name =
          line.substr(1, close == std::string_view::npos ? std::string_view::npos : close - 1);
      sections.push_back({std::string(lf_trim(name)), {}});
      continue;
    }
    const std::size_t equals = line.find('=');
    if (sections.empty() || equals == std::string_view::npos) continue;
    std::string_view value = lf_trim(line.substr(equals + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
      value = value.substr(1, value.size() - 2);
    }
    sections.back().entries.push_back(
        {std::string(lf_trim(line.substr(0, equals))), std::string(value)});
  }
  return sections;
}

// The first section of that name (later ones of the same name are ignored, as by Windows).
const ProfileSection* lf_section(const std::vector<ProfileSection>& sections,
                                 const std::string& name) {
  for (const auto& section : sections) {
    if (gf_equalNoCase(section.name, name)) return &section;
  }
  return nullptr;
}

const ProfileEntry* lf_entry(const ProfileSection& section, const std::string& key) {
  for (const auto& entry : section.entries) {
    if (gf_equalNoCase(entry.key, key)) return &entry;
  }
  return nullptr;
}

// The value, or nothing (GetLastError ERROR_FILE_NOT_FOUND) when file, section or key is
// missing.
std::optional<std::string> lf_lookUp(LPCWSTR appName, LPCWSTR keyName, LPCWSTR fileName) {
  const auto sections = lf_readProfile(fileName);
  const ProfileSection* section = sections ? lf_section(*sections, gf_toUtf8(appName)) : nullptr;
  const ProfileEntry* entry = section ? lf_entry(*section, gf_toUtf8(keyName)) : nullptr;
  SetLastError(entry ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  if (!entry) return std::nullopt;
  return entry->value;
}

// Copies one text, cut to fit: returns the units copied without the NUL.
DWORD lf_copyText(const WString& text, LPWSTR out, DWORD size) {
  if (out == nullptr || size == 0) return 0;
  const std::size_t count = std::min<std::size_t>(text.size(), size - 1);
  std::memcpy(out, text.data(), count * sizeof(WCHAR));
  out[count] = 0;
  return static_cast<DWORD>(count);
}

// Copies NUL-separated texts with a final extra NUL; cut lists end in two NULs and return
// size - 2.
DWORD lf_copyList(const std::vector<std::string>& items, LPWSTR out, DWORD size) {
  if (out == nullptr || size == 0) return 0;
  WString joined;
  for (const auto& item : items) {
    joined += gf_toUtf16(item);
    joined.push_back(0);
  }
  if (joined.size() + 1 <= size) {
    std::memcpy(out, joined.data(), joined.size() * sizeof(WCHAR));
    out[joined.size()] = 0;
    if (joined.empty() && size > 1) out[1] = 0;
    return static_cast<DWORD>(joined.size());
  }
  if (size < 2) {
    out[0] = 0;
    return 0;
  }
  std::memcpy(out, joined.data(), (size - 2) * sizeof(WCHAR));
  out[size - 2] = 0;
  out[size - 1] = 0;
  return size - 2;
}

}  // namespace

DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultText,
                               LPWSTR returned, DWORD size, LPCWSTR fileName) {
  if (appName == nullptr || keyName == nullptr) {
    const auto sections = lf_readProfile(fileName);
    std::vector<std::string> names;
    if (sections && appName == nullptr) {
      for (const auto& section : *sections) names.push_back(section.name);
    } else if (sections) {
      if (const ProfileSection* section = lf_section(*sections, gf_toUtf8(appName))) {
        for (const auto& entry : section->entries) names.push_back(entry.key);
      }
    }
    SetLastError(sections ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
    return lf_copyList(names, returned, size);
  }
  const auto value = lf_lookUp(appName, keyName, fileName);
  if (value) return lf_copyText(gf_toUtf16(*value), returned, size);
  // The default loses its trailing blanks, as with Windows.
  WString fallback = defaultText == nullptr ? WString() : WString(defaultText);
  while (!fallback.empty() && fallback.back() == u' ') fallback.pop_back();
  return lf_copyText(fallback, returned, size);
}

UINT GetPrivateProfileIntW(LPCWSTR appName, LPCWSTR keyName, INT defaultValue, LPCWSTR fileName) {
  if (appName == nullptr || keyName == nullptr) return static_cast<UINT>(defaultValue);
  const auto value = lf_lookUp(appName, keyName, fileName);
  if (!value) return static_cast<UINT>(defaultValue);
  std::string_view digits = *value;
  const bool negative = !digits.empty() && digits.front() == '-';
  if (!digits.empty() && (digits.front() == '-' || digits.front() == '+')) digits.remove_prefix(1);
  unsigned long long number = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
  if (end == digits.data()) return 0;        // no leading number
  if (error != std::errc()) number = ~0ull;  // too large: saturate like the C library
  const auto result = static_cast<UINT>(number);
  return negative ? 0u - result : result;
}

DWORD GetPrivateProfileSectionW(LPCWSTR appName, LPWSTR returned, DWORD size, LPCWSTR fileName) {
  const auto sections = lf_readProfile(fileName);
  const ProfileSection* section =
      sections && appName != nullptr ? lf_section(*sections, gf_toUtf8(appName)) : nullptr;
  std::vector<std::string> lines;
  if (section) {
    for (const auto& entry : section->entries) lines.push_back(entry.key + "=" + entry.value);
  }
  SetLastError(section ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND);
  return lf_copyList(lines, returned, size);
}
