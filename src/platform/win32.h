// The Win32 interface the program is written against. System code includes only this header,
// never an OS header.
//
// On Windows it is the system's own headers (platform/win32_windows.h). Elsewhere it declares
// our own implementation of the calls the program makes, in the Win32 subset below. Where that
// implementation differs from Windows on purpose, the Windows build simply uses Windows:
//  - SendMessageW from another thread never blocks here: the built-in state messages are
//    applied directly and any other message is posted (Windows waits for the owner thread);
//  - a device context is refused after its EndPaint (Windows leaves that undefined);
//  - WaitNamedPipeW cannot ask a pipe's backlog, so it pauses briefly and lets CreateFileW
//    tell whether the pipe is busy;
//  - shutdown wakes a thread blocked in a receive on the socket (Windows' does not, so a thread
//    that must be stopped waits for readability in slices and looks at its flag between them);
//  - seams for scripts and tests exist only here: ZENDRIK_REGISTRY (the registry is a file),
//    ZENDRIK_DRIVE_<LETTER> (drive letters are folders), ZENDRIK_RUNTIME_DIR (named mutexes
//    and pipes are files there), ZENDRIK_HEADLESS and ZENDRIK_WINDOW_PNG (the window backend),
//    and the SIGTERM/SIGINT/SIGUSR1 handlers of the process entry.
// WCHAR is char16_t here and wchar_t on Windows; write wide literals as WIDE("text").
#pragma once

#ifdef _WIN32
#include "platform/win32_windows.h"
#else
#include "platform/win32_base.h"     // integer and handle types, error codes, GetLastError
#include "platform/win32_text.h"     // UTF-8 <-> UTF-16 conversions (MultiByteToWideChar ...)
#include "platform/win32_files.h"    // CreateFileW, ReadFile, CloseHandle
#include "platform/win32_registry.h" // RegOpenKeyExW, RegGetValueW, RegCloseKey
#include "platform/win32_shell.h"    // known folders, module path, named mutex, timer, profile
#include "platform/win32_net.h"      // Winsock over POSIX sockets, named pipes
#include "platform/win32_gui.h"      // windows, messages, controls
#include "platform/win32_gdi.h"      // brushes, pens, painting
#endif
