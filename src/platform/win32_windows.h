// The Windows build: the system's headers, and the few helpers of our own that the program
// shares with the Linux layer (UTF-8 <-> UTF-16 texts, the wide-literal spelling).
#pragma once

#ifndef _WIN32
#error "platform/win32_windows.h is the Windows build's header"
#endif

// clang-format off: winsock2.h must come before windows.h.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <mmsystem.h>
#include <shlobj.h>
// clang-format on

#include <string>
#include <string_view>

// UTF-16 string as used at every Win32 boundary.
using WString = std::wstring;

// A wide string literal: WIDE("text") is L"text" here and u"text" on Linux.
#define WIDE(text) L##text

// Lenient conversions: invalid sequences become U+FFFD, never an error.
std::string gf_toUtf8(std::wstring_view text);
WString gf_toUtf16(std::string_view text);
