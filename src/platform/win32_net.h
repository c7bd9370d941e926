// Winsock over POSIX sockets, and the named-pipe helpers.
//
// SOCKET is an unsigned integer as wide as a pointer; INVALID_SOCKET has all bits set. Calls
// whose Winsock behaviour Linux shares (socket, bind, listen, connect, getaddrinfo,
// freeaddrinfo, inet_pton, htons, select with a correct nfds ...) are the POSIX functions
// themselves. Where Winsock differs in what the program relies on, the overloads below,
// chosen whenever the first argument is a SOCKET, give Winsock's behaviour:
//  - send / sendto / WSASend never raise SIGPIPE (and WSAStartup ignores SIGPIPE for the
//    process);
//  - recvfrom reports a datagram larger than the buffer as SOCKET_ERROR with WSAEMSGSIZE
//    (10040); the datagram is dropped, the buffer holds its first bytes;
//  - setsockopt accepts a 1-byte boolean (TCP_NODELAY, SO_REUSEADDR ...) and widens it;
//  - shutdown / closesocket wake every thread blocked in accept, recv, recvfrom or send on
//    the socket: the call returns 0 (a datagram socket or a stream's end) or SOCKET_ERROR
//    (accept: INVALID_SOCKET), never blocks on. closesocket then waits until those calls
//    have left before it releases the descriptor (calls starting meanwhile fail with
//    WSAENOTSOCK), so another thread may simply close a socket that a reader is blocked on.
// WSAGetLastError maps errno to the WSA numbers (ECONNREFUSED -> 10061 ...).
#pragma once

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/types.h>

#include <concepts>
#include <filesystem>
#include <string_view>

#include "platform/win32_base.h"
#include "platform/win32_files.h"  // OVERLAPPED

using SOCKET = UINT_PTR;
constexpr SOCKET INVALID_SOCKET = ~static_cast<SOCKET>(0);
constexpr int SOCKET_ERROR = -1;

using ADDRINFOA = addrinfo;
using PADDRINFOA = addrinfo*;
using SOCKADDR = sockaddr;
using SOCKADDR_IN = sockaddr_in;
using SOCKADDR_IN6 = sockaddr_in6;
using SOCKADDR_STORAGE = sockaddr_storage;

#ifndef MAKEWORD
#define MAKEWORD(lo, hi) \
  static_cast<WORD>(static_cast<BYTE>(lo) | (static_cast<WORD>(static_cast<BYTE>(hi)) << 8))
#endif
#ifndef LOBYTE
#define LOBYTE(w) static_cast<BYTE>(static_cast<DWORD_PTR>(w) & 0xff)
#define HIBYTE(w) static_cast<BYTE>((static_cast<DWORD_PTR>(w) >> 8) & 0xff)
#endif

constexpr int WSADESCRIPTION_LEN = 256;
constexpr int WSASYS_STATUS_LEN = 128;
struct WSADATA {
  WORD wVersion;
  WORD wHighVersion;
  unsigned short iMaxSockets;
  unsigned short iMaxUdpDg;
  char* lpVendorInfo;
  char szDescription[WSADESCRIPTION_LEN + 1];
  char szSystemStatus[WSASYS_STATUS_LEN + 1];
};
using LPWSADATA = WSADATA*;

constexpr int SD_RECEIVE = 0;
constexpr int SD_SEND = 1;
constexpr int SD_BOTH = 2;

// Winsock error numbers.
constexpr int WSAEINTR = 10004;
constexpr int WSAEBADF = 10009;
constexpr int WSAEACCES = 10013;
constexpr int WSAEFAULT = 10014;
constexpr int WSAEINVAL = 10022;
constexpr int WSAEMFILE = 10024;
constexpr int WSAEWOULDBLOCK = 10035;
constexpr int WSAEINPROGRESS = 10036;
constexpr int WSAEALREADY = 10037;
constexpr int WSAENOTSOCK = 10038;
constexpr int WSAEDESTADDRREQ = 10039;
constexpr int WSAEMSGSIZE = 10040;
constexpr int WSAEPROTOTYPE = 10041;
constexpr int WSAENOPROTOOPT = 10042;
constexpr int WSAEPROTONOSUPPORT = 10043;
constexpr int WSAESOCKTNOSUPPORT = 10044;
constexpr int WSAEOPNOTSUPP = 10045;
constexpr int WSAEPFNOSUPPORT = 10046;
constexpr int WSAEAFNOSUPPORT = 10047;
constexpr int WSAEADDRINUSE = 10048;
constexpr int WSAEADDRNOTAVAIL = 10049;
constexpr int WSAENETDOWN = 10050;
constexpr int WSAENETUNREACH = 10051;
constexpr int WSAENETRESET = 10052;
constexpr int WSAECONNABORTED = 10053;
constexpr int WSAECONNRESET = 10054;
constexpr int WSAENOBUFS = 10055;
constexpr int WSAEISCONN = 10056;
constexpr int WSAENOTCONN = 10057;
constexpr int WSAESHUTDOWN = 10058;
constexpr int WSAETOOMANYREFS = 10059;
constexpr int WSAETIMEDOUT = 10060;
constexpr int WSAECONNREFUSED = 10061;
constexpr int WSAELOOP = 10062;
constexpr int WSAENAMETOOLONG = 10063;
constexpr int WSAEHOSTDOWN = 10064;
constexpr int WSAEHOSTUNREACH = 10065;
constexpr int WSAENOTEMPTY = 10066;
constexpr int WSAEPROCLIM = 10067;
constexpr int WSAEUSERS = 10068;
constexpr int WSAEDQUOT = 10069;
constexpr int WSAESTALE = 10070;
constexpr int WSAEREMOTE = 10071;
constexpr int WSASYSNOTREADY = 10091;
constexpr int WSAVERNOTSUPPORTED = 10092;
constexpr int WSANOTINITIALISED = 10093;
constexpr int WSAEDISCON = 10101;
constexpr int WSAHOST_NOT_FOUND = 11001;
constexpr int WSANO_DATA = 11004;

// Starts the socket layer (counted; versions 1.0 to 2.2 accepted, else WSAVERNOTSUPPORTED).
// Returns 0 or the error number (WSAEFAULT for a null `data`).
int WSAStartup(WORD versionRequested, LPWSADATA data);
// Ends one WSAStartup: 0, or SOCKET_ERROR with WSANOTINITIALISED when none is left.
int WSACleanup();
// The calling thread's last socket error as a WSA number.
int WSAGetLastError();
void WSASetLastError(int error);
// The WSA number for a POSIX errno value (unknown ones pass through unchanged).
int gf_wsaErrorFromErrno(int errnoValue);

// Closes the socket, first waking threads blocked on it. 0 or SOCKET_ERROR.
int closesocket(SOCKET s);
// FIONBIO (non-blocking mode on/off) and FIONREAD (bytes waiting) on a SOCKET.
int ioctlsocket(SOCKET s, long command, u_long* argument);
// Winsock's shutdown: SD_RECEIVE, SD_SEND or SD_BOTH; wakes blocked receives.
int shutdown(SOCKET s, int how);

// One buffer of a gathered send.
struct WSABUF {
  ULONG len;
  CHAR* buf;
};
using LPWSABUF = WSABUF*;
using WSAOVERLAPPED = OVERLAPPED;
using LPWSAOVERLAPPED = WSAOVERLAPPED*;
using LPWSAOVERLAPPED_COMPLETION_ROUTINE = void (*)(DWORD error, DWORD bytesTransferred,
                                                    LPWSAOVERLAPPED overlapped, DWORD flags);
// Sends the buffers in order as one send (on a stream socket the peer sees their bytes as one
// run, and Nagle's algorithm sees one write). On a blocking socket every byte is sent before it
// returns: 0 with *bytesSent set (when not null), or SOCKET_ERROR. Overlapped sends are not
// emulated: an overlapped record or a completion routine fails with WSAEOPNOTSUPP.
int WSASend(SOCKET s, LPWSABUF buffers, DWORD bufferCount, LPDWORD bytesSent, DWORD flags,
            LPWSAOVERLAPPED overlapped, LPWSAOVERLAPPED_COMPLETION_ROUTINE completionRoutine);

SOCKET gf_wsaAccept(SOCKET s, sockaddr* address, int* addressLength);
int gf_wsaRecv(SOCKET s, void* buffer, int length, int flags);
int gf_wsaSend(SOCKET s, const void* buffer, int length, int flags);
int gf_wsaSendTo(SOCKET s, const void* buffer, int length, int flags, const sockaddr* to,
                 int toLength);
int gf_wsaRecvFrom(SOCKET s, void* buffer, int length, int flags, sockaddr* from, int* fromLength);
int gf_wsaSetSockOpt(SOCKET s, int level, int option, const void* value, int length);
int gf_wsaGetSockOpt(SOCKET s, int level, int option, void* value, int* length);
// Beyond Winsock: the largest receive buffer the system gives a socket whatever it asks for
// (Linux: net.core.rmem_max), bytes; 0 when the system does not say. Windows has no such cap.
int gf_socketReceiveBufferLimit();

// Winsock-signature overloads, taken only when the first argument is a SOCKET (a plain int
// descriptor still reaches the POSIX call); the length may be of any integer type.
template <typename Socket>
concept WinsockSocket = std::same_as<Socket, SOCKET>;

template <WinsockSocket Socket>
SOCKET accept(Socket s, sockaddr* address, int* addressLength) {
  return gf_wsaAccept(s, address, addressLength);
}
template <WinsockSocket Socket, std::integral Length>
int recv(Socket s, void* buffer, Length length, int flags) {
  return gf_wsaRecv(s, buffer, static_cast<int>(length), flags);
}
template <WinsockSocket Socket, std::integral Length>
int send(Socket s, const void* buffer, Length length, int flags) {
  return gf_wsaSend(s, buffer, static_cast<int>(length), flags);
}
template <WinsockSocket Socket, std::integral Length, std::integral ToLength>
int sendto(Socket s, const void* buffer, Length length, int flags, const sockaddr* to,
           ToLength toLength) {
  return gf_wsaSendTo(s, buffer, static_cast<int>(length), flags, to, static_cast<int>(toLength));
}
template <WinsockSocket Socket, std::integral Length>
int recvfrom(Socket s, void* buffer, Length length, int flags, sockaddr* from, int* fromLength) {
  return gf_wsaRecvFrom(s, buffer, static_cast<int>(length), flags, from, fromLength);
}
template <WinsockSocket Socket, std::integral Length>
int setsockopt(Socket s, int level, int option, const void* value, Length length) {
  return gf_wsaSetSockOpt(s, level, option, value, static_cast<int>(length));
}
template <WinsockSocket Socket>
int getsockopt(Socket s, int level, int option, void* value, int* length) {
  return gf_wsaGetSockOpt(s, level, option, value, length);
}

// Named pipes are Unix-domain stream sockets. A pipe name "\\server\pipe\<name>" (UTF-8, with
// server "." for this machine) or a bare "<name>" maps to the socket file
// gf_runtimeFolder()/"pipes"/<name in lower case, '\' and '/' as '_'> (pipe names are
// case-insensitive, so both ends meet at one file whatever case they use). A server (the
// simulator stand-in) listens there; CreateFileW connects to it. Empty when the name is not
// a local pipe name or the path would be too long for a socket address.
std::filesystem::path gf_pipeSocketPath(std::string_view pipeName);

constexpr DWORD NMPWAIT_USE_DEFAULT_WAIT = 0x00000000;
constexpr DWORD NMPWAIT_WAIT_FOREVER = 0xffffffff;

// Waits for the pipe's server. The socket of a pipe cannot be asked whether its backlog has
// room without connecting, so this pauses briefly (10 ms, at most `timeoutMs`) and returns
// TRUE while the pipe exists; CreateFileW then tells again whether it is busy. FALSE with
// ERROR_FILE_NOT_FOUND at once when no server has the pipe, ERROR_BAD_NETPATH for a remote
// server.
BOOL WaitNamedPipeW(LPCWSTR pipeName, DWORD timeoutMs);
