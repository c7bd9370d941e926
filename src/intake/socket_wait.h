// Waiting for a socket to become readable, in bounded slices: a blocked receive or accept is
// not woken by a shutdown on Windows, so the intake's threads wait here and look at their stop
// flags between slices.
#pragma once

#include "platform/win32.h"

enum class Readiness { kReady, kTimeout, kError };

// Waits up to timeoutMs for the socket to become readable (a listening socket: to have a
// connection waiting; a shut-down socket: its end). kError for INVALID_SOCKET, a failed select,
// and on POSIX a descriptor that an fd_set cannot hold.
Readiness gf_waitReadable(SOCKET s, int timeoutMs);
