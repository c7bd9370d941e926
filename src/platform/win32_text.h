// UTF-8 <-> UTF-16 conversions with the Win32 code-page calls' contract.
// Narrow texts on this platform are UTF-8, so CP_ACP and CP_UTF8 behave alike.
#pragma once

#include <string>
#include <string_view>

#include "platform/win32_base.h"

constexpr UINT CP_ACP = 0;
constexpr UINT CP_UTF8 = 65001;

// Strict flags: invalid input fails with ERROR_NO_UNICODE_TRANSLATION (1113) instead of
// being replaced by U+FFFD.
constexpr DWORD MB_ERR_INVALID_CHARS = 0x00000008;
constexpr DWORD WC_ERR_INVALID_CHARS = 0x00000080;

constexpr DWORD ERROR_INVALID_FLAGS = 1004;

// Converts `srcBytes` bytes of `src` (-1: up to and including its NUL) to UTF-16.
// With `dstChars` 0 returns the length needed (in UTF-16 units); else writes into `dst` and
// returns the units written. 0 on failure, with GetLastError: ERROR_NO_UNICODE_TRANSLATION,
// ERROR_INSUFFICIENT_BUFFER, ERROR_INVALID_PARAMETER or ERROR_INVALID_FLAGS. An empty input
// (srcBytes 0) fails with ERROR_INVALID_PARAMETER, as on Windows.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcBytes, LPWSTR dst,
                        int dstChars);

// The mirror image: UTF-16 to UTF-8. `defaultChar` and `usedDefaultChar` must be null for
// CP_UTF8 (ERROR_INVALID_PARAMETER otherwise). Lone surrogates fail with 1113 under
// WC_ERR_INVALID_CHARS, else become U+FFFD.
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcChars, LPSTR dst,
                        int dstBytes, LPCSTR defaultChar, BOOL* usedDefaultChar);

// Lenient conversions for the layer's own use (file names, registry and profile texts):
// invalid sequences become U+FFFD, never an error.
std::string gf_toUtf8(std::u16string_view text);
WString gf_toUtf16(std::string_view text);
