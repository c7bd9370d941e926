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

std::filesystem::path gf_pathFromUtf8(std::string_view text) {
  return std::filesystem::path(gf_toUtf16(text));
}

std::string gf_pathToUtf8(const std::filesystem::path& path) { return gf_toUtf8(path.native()); }

std::FILE* gf_openFile(const std::filesystem::path& path, const char* mode) {
  const std::string narrow(mode);
  return _wfopen(path.c_str(), std::wstring(narrow.begin(), narrow.end()).c_str());
}
