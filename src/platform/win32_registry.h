// The registry: a file-backed store read by RegOpenKeyExW / RegGetValueW /
// RegCloseKey. Usable during static initialisation. The store is read
// again whenever its file changes, so tests may write it at any time.
//
// Where: the file named by the environment variable ZENDRIK_REGISTRY, else
// "$XDG_CONFIG_HOME/zendrik/registry.txt" (XDG_CONFIG_HOME defaulting to ~/.config).
// Format (UTF-8, optional BOM; blank lines and lines starting with ';' or '#' ignored):
//
//   [HKEY_LOCAL_MACHINE\SOFTWARE\Lockheed Martin\Prepar3D v5]
//   "SetupPath"="/opt/sim/Prepar3D v5/"
//   "Count"=dword:0000002a
//
// A key line names its root (HKEY_LOCAL_MACHINE or HKLM, HKEY_CURRENT_USER or HKCU) and its
// path; a key exists when it is named or when a key below it is. Values are "name"="text"
// (REG_SZ; \\ and \" are escapes) or "name"=dword:<8 hex digits> (REG_DWORD). Key and value
// names are case-insensitive. Malformed lines are skipped with a line on stderr.
// The 32- and 64-bit views are one store.
#pragma once

#include <filesystem>

#include "platform/win32_base.h"

using LSTATUS = LONG;
using LPDWORD = DWORD*;
using REGSAM = DWORD;
using PHKEY = HKEY*;

// Predefined root keys; never closed.
#define HKEY_CLASSES_ROOT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000000u)))
#define HKEY_CURRENT_USER (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000001u)))
#define HKEY_LOCAL_MACHINE (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000002u)))
#define HKEY_USERS (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000003u)))
#define HKEY_PERFORMANCE_DATA (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000004u)))
#define HKEY_CURRENT_CONFIG (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000005u)))
#define HKEY_DYN_DATA (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000006u)))
#define HKEY_CURRENT_USER_LOCAL_SETTINGS \
  (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000007u)))
#define HKEY_PERFORMANCE_TEXT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000050u)))
#define HKEY_PERFORMANCE_NLSTEXT (reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x80000060u)))

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WOW64_64KEY = 0x0100;
constexpr REGSAM KEY_WOW64_32KEY = 0x0200;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_DWORD = 4;

// RegGetValueW type restrictions.
constexpr DWORD RRF_RT_REG_NONE = 0x00000001;
constexpr DWORD RRF_RT_REG_SZ = 0x00000002;
constexpr DWORD RRF_RT_REG_DWORD = 0x00000010;
constexpr DWORD RRF_RT_ANY = 0x0000ffff;

constexpr DWORD ERROR_BADKEY = 1010;
constexpr DWORD ERROR_UNSUPPORTED_TYPE = 1630;

// Opens `subKey` (null or empty: the key itself) below `key`. ERROR_FILE_NOT_FOUND when it
// does not exist, ERROR_INVALID_HANDLE for an unknown `key`. Returns the error, not via
// GetLastError.
LSTATUS RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD options, REGSAM desired, PHKEY result);

// Reads a value of `key` (or of its `subKey`). With `data` null only the size in bytes is
// stored in `*dataBytes` (for REG_SZ including the terminating NUL). Errors:
// ERROR_FILE_NOT_FOUND (no such value or subkey), ERROR_UNSUPPORTED_TYPE (type not allowed by
// `flags`), ERROR_MORE_DATA (buffer too small; `*dataBytes` then holds the size needed).
LSTATUS RegGetValueW(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD flags, LPDWORD type,
                     PVOID data, LPDWORD dataBytes);

// Closes a key of RegOpenKeyExW; a predefined root key is left alone (ERROR_SUCCESS).
LSTATUS RegCloseKey(HKEY key);

// The store's file as chosen above.
std::filesystem::path gf_registryFilePath();
