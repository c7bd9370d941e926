// The Win32 subset the program is written against. On Windows this header would include the
// system headers; here it declares our own implementation of the calls the program makes.
// System code includes only this header, never an OS header.
#pragma once

#include "platform/win32_base.h"     // integer and handle types, error codes, GetLastError
#include "platform/win32_text.h"     // UTF-8 <-> UTF-16 conversions (MultiByteToWideChar ...)
#include "platform/win32_files.h"    // CreateFileW, ReadFile, CloseHandle
#include "platform/win32_registry.h" // RegOpenKeyExW, RegGetValueW, RegCloseKey
#include "platform/win32_shell.h"    // known folders, module path, named mutex, timer, profile
#include "platform/win32_net.h"      // Winsock over POSIX sockets, named pipes
#include "platform/win32_gui.h"      // windows, messages, controls
#include "platform/win32_gdi.h"      // brushes, pens, painting
