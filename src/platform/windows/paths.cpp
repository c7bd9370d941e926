// Windows path texts are native paths here: they are used as they stand. Any thread.
#include "platform/paths.h"

#include "platform/win32.h"

std::filesystem::path gf_winPath(std::string_view text) { return gf_pathFromUtf8(text); }

std::filesystem::path gf_driveRoot(char letter) {
  const bool isLetter = (letter >= 'a' && letter <= 'z') || (letter >= 'A' && letter <= 'Z');
  if (!isLetter) return {};
  return std::filesystem::path(std::wstring{static_cast<wchar_t>(letter), L':', L'\\'});
}

// The file system itself ignores case.
std::filesystem::path gf_resolvePathCase(const std::filesystem::path& path) { return path; }

namespace {

bool lf_isUtf8(std::string_view text) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                             static_cast<int>(text.size()), nullptr, 0) > 0;
}

std::wstring lf_fromAnsiCodePage(std::string_view text) {
  const int bytes = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), bytes, wide.data(), units);
  return wide;
}

}  // namespace

// A text that is no UTF-8 is a line of an 8-bit file in the user's code page (add-ons.cfg,
// aircraft.cfg ...): it is read as the calls with narrow names read it, not as U+FFFD.
std::filesystem::path gf_pathFromUtf8(std::string_view text) {
  if (text.empty() || lf_isUtf8(text)) return std::filesystem::path(gf_toUtf16(text));
  return std::filesystem::path(lf_fromAnsiCodePage(text));
}

std::string gf_pathToUtf8(const std::filesystem::path& path) { return gf_toUtf8(path.native()); }

std::FILE* gf_openFile(const std::filesystem::path& path, const char* mode) {
  const std::string narrow(mode);
  return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
}
