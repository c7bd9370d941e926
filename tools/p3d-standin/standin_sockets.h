// The stand-in's sockets, written against Winsock: the platform layer's on Linux, the system's
// on Windows. The listeners, the accept thread's wake socket and the wait on all of them.
#pragma once

#include <string>
#include <vector>

#include "common/winsock_use.h"
#include "platform/win32.h"

namespace p3d {

// Winsock is started for the stand-in's lifetime.
using standin::WinsockUse;

// A TCP listener on the loopback address of `family` (AF_INET or AF_INET6); port 0 picks a free
// port. The port it got goes to boundPort. Throws std::runtime_error.
SOCKET gf_listenTcp(int family, int port, int& boundPort);

// A Unix-domain listener at path, standing in for the simulator's named pipe. Linux only: on
// Windows the pipe is the system's own and this throws std::runtime_error.
SOCKET gf_listenPipe(const std::string& path);
void gf_removePipe(const std::string& path);

// A datagram socket on the IPv4 loopback that receives what it sends itself: gf_wake makes it
// readable and so ends a gf_waitReadable that includes it.
SOCKET gf_openWakeSocket();
void gf_wake(SOCKET wake);

// Waits until at least one socket is readable and returns the readable ones; empty when the
// time is up (timeoutMs; -1 waits for ever) or the wait failed. Interruptions are retried.
std::vector<SOCKET> gf_waitReadable(const std::vector<SOCKET>& sockets, int timeoutMs = -1);

// Accepts one connection: the socket and the peer's address text ("pipe" for the Unix-domain
// listener); INVALID_SOCKET when the accept failed. TCP connections get TCP_NODELAY.
SOCKET gf_acceptClient(SOCKET listener, bool pipe, std::string& peerName);

// Shuts both directions down and ends a receive under way on another thread (Windows' shutdown
// alone leaves it waiting for the peer).
void gf_shutdownSocket(SOCKET s);

// Closes s when it is open and leaves INVALID_SOCKET in its place.
void gf_closeSocket(SOCKET& s);

}  // namespace p3d
