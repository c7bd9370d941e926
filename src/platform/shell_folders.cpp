// Known folders, the module path, the current directory, the runtime folder, the timer
// resolution, Sleep and FindWindowW. Any thread.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "platform/paths.h"
#include "platform/paths_env.h"
#include "platform/win32_shell.h"
#include "platform/win32_text.h"

namespace fs = std::filesystem;

namespace {

// An environment value as a folder; a Windows path text ("C:\...") is mapped.
fs::path lf_envFolder(const std::string& value) {
  const bool windowsText = value.size() >= 2 && value[1] == ':';
  return windowsText ? gf_winPath(value) : fs::path(value);
}

std::optional<fs::path> lf_knownFolder(int csidl) {
  switch (csidl) {
    case CSIDL_APPDATA:
      if (auto v = gf_envText("APPDATA")) return lf_envFolder(*v);
      return gf_configHomeFolder();
    case CSIDL_LOCAL_APPDATA:
      if (auto v = gf_envText("LOCALAPPDATA")) return lf_envFolder(*v);
      return gf_dataHomeFolder();
    case CSIDL_COMMON_APPDATA:
      if (auto v = gf_envText("PROGRAMDATA")) return lf_envFolder(*v);
      return gf_winPath("C:\\ProgramData");
    case CSIDL_PERSONAL:
      if (auto v = gf_envText("USERPROFILE")) return lf_envFolder(*v) / "Documents";
      if (auto v = gf_envText("XDG_DOCUMENTS_DIR")) return lf_envFolder(*v);
      return gf_homeFolder() / "Documents";
    case CSIDL_COMMON_DOCUMENTS:
      if (auto v = gf_envText("PUBLIC")) return lf_envFolder(*v) / "Documents";
      return gf_winPath("C:\\Users\\Public\\Documents");
    default:
      return std::nullopt;
  }
}

// The folder text as Windows gives it: no trailing separator except for the root.
WString lf_folderText(const fs::path& folder) {
  std::string text = folder.lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return gf_toUtf16(text);
}

HRESULT lf_folderPath(int csidlWithFlags, WString& out) {
  const int csidl = csidlWithFlags & ~CSIDL_FLAG_CREATE;
  const auto folder = lf_knownFolder(csidl);
  if (!folder) return E_INVALIDARG;
  if ((csidlWithFlags & CSIDL_FLAG_CREATE) != 0) {
    std::error_code ec;
    fs::create_directories(*folder, ec);
    if (ec) return HRESULT_FROM_WIN32(gf_win32ErrorFromErrno(ec.value()));
  }
  out = lf_folderText(*folder);
  return S_OK;
}

// Copies `text` into a caller buffer of `size` units with the Win32 contract of the
// "returns the length" calls: fits -> length without NUL; else nothing and size needed.
DWORD lf_copyOrNeed(const WString& text, LPWSTR buffer, DWORD size) {
  if (buffer == nullptr || text.size() + 1 > size) return static_cast<DWORD>(text.size() + 1);
  std::memcpy(buffer, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return static_cast<DWORD>(text.size());
}

}  // namespace

HRESULT SHGetFolderPathW(HWND, int csidl, HANDLE, DWORD, LPWSTR path) {
  if (path == nullptr) return E_INVALIDARG;
  WString text;
  if (const HRESULT hr = lf_folderPath(csidl, text); FAILED(hr)) return hr;
  if (text.size() + 1 > MAX_PATH) return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
  std::memcpy(path, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  return S_OK;
}

DWORD GetModuleFileNameW(HMODULE, LPWSTR fileName, DWORD size) {
  std::error_code ec;
  const fs::path self = fs::read_symlink("/proc/self/exe", ec);
  if (ec) {
    SetLastError(gf_win32ErrorFromErrno(ec.value()));
    return 0;
  }
  const WString text = gf_toUtf16(self.string());
  if (fileName == nullptr || size == 0) {
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return 0;
  }
  if (text.size() + 1 > size) {
    std::memcpy(fileName, text.data(), (size - 1) * sizeof(WCHAR));
    fileName[size - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
  }
  std::memcpy(fileName, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(text.size());
}

DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer) {
  std::error_code ec;
  const fs::path current = fs::current_path(ec);
  if (ec) {
    SetLastError(gf_win32ErrorFromErrno(ec.value()));
    return 0;
  }
  return lf_copyOrNeed(gf_toUtf16(current.string()), buffer, size);
}

namespace {

// A folder only this user can have made: not a link, owned by us.
bool lf_isOwnFolder(const fs::path& folder) {
  struct stat info {};
  return ::lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::getuid();
}

fs::path lf_makePrivateFolder(const fs::path& folder) {
  std::error_code ec;
  if (fs::create_directories(folder, ec)) {
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::replace, ec);
  }
  return folder;
}

}  // namespace

fs::path gf_runtimeFolder() {
  if (auto v = gf_envText("ZENDRIK_RUNTIME_DIR")) return lf_makePrivateFolder(*v);
  if (auto runtime = gf_envText("XDG_RUNTIME_DIR"))
    return lf_makePrivateFolder(fs::path(*runtime) / "zendrik");
  // The shared /tmp: a folder of that name that another user made is not used.
  const fs::path shared =
      lf_makePrivateFolder(fs::path("/tmp") / ("zendrik-" + std::to_string(::getuid())));
  if (lf_isOwnFolder(shared)) return shared;
  std::fprintf(stderr, "%s is not this user's folder; using the data folder instead\n",
               shared.c_str());
  return lf_makePrivateFolder(gf_dataHomeFolder() / "zendrik" / "run");
}

MMRESULT timeBeginPeriod(UINT) {
  return TIMERR_NOERROR;
}
MMRESULT timeEndPeriod(UINT) {
  return TIMERR_NOERROR;
}

void Sleep(DWORD milliseconds) {
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

HWND FindWindowW(LPCWSTR, LPCWSTR) {
  SetLastError(ERROR_SUCCESS);
  return nullptr;
}
