// Known folders, the module path, the current directory, the single-instance mutex, the
// multimedia timer resolution, private-profile (INI) files and the window finder.
//
// Known folders here, each from an environment variable when it is set, else a default:
//   CSIDL_APPDATA          roaming AppData   APPDATA       else $XDG_CONFIG_HOME (~/.config)
//   CSIDL_LOCAL_APPDATA    local AppData     LOCALAPPDATA  else $XDG_DATA_HOME (~/.local/share)
//   CSIDL_COMMON_APPDATA   ProgramData       PROGRAMDATA   else gf_winPath("C:\ProgramData")
//   CSIDL_PERSONAL         user documents    USERPROFILE + "/Documents"
//                                            else $XDG_DOCUMENTS_DIR, else ~/Documents
//   CSIDL_COMMON_DOCUMENTS public documents  PUBLIC + "/Documents"
//                                            else gf_winPath("C:\Users\Public\Documents")
// The variables are read at every call. Folders are returned whether or not they exist.
#pragma once

#include <filesystem>
#include <string>

#include "platform/win32_base.h"
#include "platform/win32_files.h"

constexpr DWORD MAX_PATH = 260;

// Folder ids of SHGetFolderPathW.
constexpr int CSIDL_PERSONAL = 0x0005;  // the user's documents
constexpr int CSIDL_MYDOCUMENTS = CSIDL_PERSONAL;
constexpr int CSIDL_APPDATA = 0x001a;
constexpr int CSIDL_LOCAL_APPDATA = 0x001c;
constexpr int CSIDL_COMMON_APPDATA = 0x0023;
constexpr int CSIDL_COMMON_DOCUMENTS = 0x002e;
constexpr int CSIDL_FLAG_CREATE = 0x8000;

constexpr DWORD SHGFP_TYPE_CURRENT = 0;
constexpr DWORD SHGFP_TYPE_DEFAULT = 1;

#define E_INVALIDARG static_cast<HRESULT>(0x80070057)
// HRESULT of a Win32 error code, as HRESULT_FROM_WIN32 gives it.
#define HRESULT_FROM_WIN32(err)    \
  (static_cast<HRESULT>(err) <= 0  \
       ? static_cast<HRESULT>(err) \
       : static_cast<HRESULT>((static_cast<DWORD>(err) & 0x0000FFFFu) | 0x80070000u))

// Writes the folder (at most MAX_PATH units with its NUL) into `path`. S_OK, or E_INVALIDARG
// for an unknown id, or HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE) when it is too long.
// CSIDL_FLAG_CREATE creates the folder.
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);

// The program's own file (from /proc/self/exe) for any module. Returns the units written
// without the NUL; when `size` is too small the text is cut to size - 1 units, `size` is
// returned and GetLastError is ERROR_INSUFFICIENT_BUFFER.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size);

// The current folder: units written without the NUL, or when `size` is too small the size
// needed including the NUL (nothing written). 0 on failure.
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);

// A named mutex as a per-user lock file (flock) under gf_runtimeFolder(). The first handle of
// a name holds the lock; a later CreateMutexA / CreateMutexW of the same name, in this or any
// other process of the user, returns a handle with GetLastError ERROR_ALREADY_EXISTS.
// Closing the holding handle, or the holder's death, releases the name. `initialOwner` and
// the security attributes are ignored. The "Local\" or "Global\" prefix is part of the name.
HANDLE CreateMutexA(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCSTR name);
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES attributes, BOOL initialOwner, LPCWSTR name);

// The folder for lock files and pipe sockets of this user: ZENDRIK_RUNTIME_DIR when set,
// else "$XDG_RUNTIME_DIR/zendrik", else "/tmp/zendrik-<uid>" (when that is not a folder of
// this user: "$XDG_DATA_HOME/zendrik/run"); created (mode 0700) on demand.
std::filesystem::path gf_runtimeFolder();

// The multimedia timer resolution: nothing to change here (the scheduler's timers are fine
// grained already); both return TIMERR_NOERROR.
using MMRESULT = UINT;
constexpr MMRESULT TIMERR_NOERROR = 0;
MMRESULT timeBeginPeriod(UINT periodMs);
MMRESULT timeEndPeriod(UINT periodMs);

// Sleeps on the steady clock.
void Sleep(DWORD milliseconds);

// Private-profile (INI) files: UTF-8 (optional BOM) or UTF-16 with a byte-order mark.
// Section and key names are case-insensitive; values are trimmed and lose one pair of
// enclosing quotes; lines starting with ';' are comments. `fileName` is a Windows or native
// path text (through gf_winPath). A missing file or entry gives the default (GetLastError
// ERROR_FILE_NOT_FOUND).
// GetPrivateProfileStringW: copies the value (or with `keyName` null the section's key names,
// with `appName` null the section names, each NUL-terminated with a final extra NUL) and
// returns the units copied without the final NUL; a value that does not fit is cut and size-1
// is returned (size-2 for the lists).
DWORD GetPrivateProfileStringW(LPCWSTR appName, LPCWSTR keyName, LPCWSTR defaultText,
                               LPWSTR returned, DWORD size, LPCWSTR fileName);
// The leading decimal integer of the value (optional sign); a value without one gives 0, a
// missing key `defaultValue`.
UINT GetPrivateProfileIntW(LPCWSTR appName, LPCWSTR keyName, INT defaultValue, LPCWSTR fileName);
// The section's "key=value" lines, each NUL-terminated, with a final extra NUL; 0 when the
// section does not exist or is empty.
DWORD GetPrivateProfileSectionW(LPCWSTR appName, LPWSTR returned, DWORD size, LPCWSTR fileName);

// There are no windows of other programs here: always null.
HWND FindWindowW(LPCWSTR className, LPCWSTR windowName);
