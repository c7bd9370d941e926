// Pipe and socket endpoints of the SimConnect transports, over the platform layer's named pipes
// and Winsock.
#include "simlink/simconnect/simconnect_endpoints.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <vector>

namespace simconnect {

namespace {

constexpr DWORD kPipeBusyWaitMs = 5000;

// The parts as one run of bytes: a pipe has no gathered write.
ByteSpan lf_joined(std::span<const ByteSpan> parts, std::vector<std::uint8_t>& room) {
  if (parts.size() == 1) return parts.front();
  room.clear();
  for (const ByteSpan part : parts) room.insert(room.end(), part.begin(), part.end());
  return room;
}

std::mutex g_winsockMutex;          // guards g_winsockStarted
bool g_winsockStarted = false;      // WSAStartup was called by this library

// Moves past the bytes sent: the buffers sent whole are passed, a partly sent one is trimmed.
void lf_passSent(std::vector<WSABUF>& buffers, std::size_t& next, DWORD sent) {
  while (next < buffers.size() && sent >= buffers[next].len) {
    sent -= buffers[next].len;
    ++next;
  }
  if (sent == 0) return;
  buffers[next].buf += sent;
  buffers[next].len -= sent;
}

#ifdef _WIN32
// One read or write on a pipe opened for overlapped I/O, waited for to its end, or until the
// shutdown event is set: then it is cancelled and fails with ERROR_OPERATION_ABORTED. The pipe
// is overlapped because Windows lets only one synchronous call at a time through a handle: the
// reader thread, waiting for the simulator, would hold up every write of the writer thread.
template <typename Start>  // BOOL(OVERLAPPED*): begins the ReadFile or WriteFile
bool lf_pipeIo(HANDLE pipe, HANDLE shutdownEvent, Start start, DWORD& done, DWORD& error) {
  if (WaitForSingleObject(shutdownEvent, 0) != WAIT_TIMEOUT) {  // shut down (or no event)
    error = ERROR_OPERATION_ABORTED;
    return false;
  }
  OVERLAPPED ov{};
  ov.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (ov.hEvent == nullptr) {
    error = GetLastError();
    return false;
  }
  const BOOL started = start(&ov);
  bool ok = started || GetLastError() == ERROR_IO_PENDING;
  if (ok && !started) {
    const HANDLE waits[] = {ov.hEvent, shutdownEvent};
    if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0) CancelIoEx(pipe, &ov);
  }
  // After a cancel this still waits for the call to end, so `ov` and the buffer outlive it.
  if (ok) ok = GetOverlappedResult(pipe, &ov, &done, TRUE) || GetLastError() == ERROR_MORE_DATA;
  if (!ok) error = GetLastError();
  CloseHandle(ov.hEvent);
  return ok;
}
#endif

class PipeEndpoint final : public StreamEndpoint {
 public:
  explicit PipeEndpoint(HANDLE h) : m_handle(h) {}
#ifdef _WIN32
  ~PipeEndpoint() override {
    if (m_shutdownEvent != nullptr) CloseHandle(m_shutdownEvent);
  }
  long readSome(std::uint8_t* buffer, std::size_t size, DWORD& error) override {
    DWORD read = 0;
    const auto start = [&](OVERLAPPED* ov) {
      return ReadFile(m_handle, buffer, static_cast<DWORD>(size), nullptr, ov);
    };
    if (!lf_pipeIo(m_handle, m_shutdownEvent, start, read, error)) return -1;
    return static_cast<long>(read);
  }
  // One overlapped write of all the parts (more only when the pipe takes part of it).
  bool writeGathered(std::span<const ByteSpan> parts, DWORD& error) override {
    ByteSpan rest = lf_joined(parts, m_joined);
    while (!rest.empty()) {
      DWORD written = 0;
      const auto start = [&](OVERLAPPED* ov) {
        return WriteFile(m_handle, rest.data(), static_cast<DWORD>(rest.size()), nullptr, ov);
      };
      if (!lf_pipeIo(m_handle, m_shutdownEvent, start, written, error)) return false;
      if (written == 0) {  // nothing taken: the pipe is closing
        error = ERROR_NO_DATA;
        return false;
      }
      rest = rest.subspan(written);
    }
    return true;
  }
  // The event stays set: a call begun after the shutdown is cancelled at once.
  void shutdownBoth() override { SetEvent(m_shutdownEvent); }
#else
  long readSome(std::uint8_t* buffer, std::size_t size, DWORD& error) override {
    DWORD read = 0;
    if (!ReadFile(m_handle, buffer, static_cast<DWORD>(size), &read, nullptr)) {
      error = GetLastError();
      return -1;
    }
    return static_cast<long>(read);
  }
  bool writeGathered(std::span<const ByteSpan> parts, DWORD& error) override {
    const ByteSpan all = lf_joined(parts, m_joined);
    DWORD written = 0;
    if (!WriteFile(m_handle, all.data(), static_cast<DWORD>(all.size()), &written, nullptr) ||
        written != all.size()) {
      error = GetLastError();
      return false;
    }
    return true;
  }
  void shutdownBoth() override { CancelIo(m_handle); }
#endif
  void closeHandle() override {
    if (m_handle != INVALID_HANDLE_VALUE) CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
  }
  DWORD endOfStreamError() const override { return ERROR_BROKEN_PIPE; }

 private:
  HANDLE m_handle;
  std::vector<std::uint8_t> m_joined;  // the parts of one write, when several; writer thread only
#ifdef _WIN32
  HANDLE m_shutdownEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);  // set by shutdownBoth
#endif
};

class SocketEndpoint final : public StreamEndpoint {
 public:
  explicit SocketEndpoint(SOCKET s) : m_socket(s) {}
  long readSome(std::uint8_t* buffer, std::size_t size, DWORD& error) override {
    for (;;) {
      if (m_shutDown.load()) {  // a receive begun after the shutdown would not be cancelled
        error = static_cast<DWORD>(WSAESHUTDOWN);
        return -1;
      }
      const auto n = ::recv(static_cast<int>(m_socket), reinterpret_cast<char*>(buffer),
                             static_cast<int>(size), 0);
      if (n >= 0) return static_cast<long>(n);
      error = static_cast<DWORD>(WSAGetLastError());
      if (error != static_cast<DWORD>(WSAEINTR)) return -1;
    }
  }
  bool writeGathered(std::span<const ByteSpan> parts, DWORD& error) override {
    m_buffers.clear();
    for (const ByteSpan part : parts) {
      if (part.empty()) continue;
      m_buffers.push_back({static_cast<ULONG>(part.size()),
                           reinterpret_cast<CHAR*>(const_cast<std::uint8_t*>(part.data()))});
    }
    std::size_t next = 0;
    while (next < m_buffers.size()) {
      DWORD sent = 0;
      if (WSASend(m_socket, m_buffers.data() + next, static_cast<DWORD>(m_buffers.size() - next),
                  &sent, 0, nullptr, nullptr) == SOCKET_ERROR) {
        error = static_cast<DWORD>(WSAGetLastError());
        if (error == static_cast<DWORD>(WSAEINTR)) continue;
        return false;
      }
      lf_passSent(m_buffers, next, sent);  // a blocking send takes all; in case it did not
    }
    return true;
  }
  void setNoDelay() override {
    const int one = 1;
    setsockopt(m_socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&one), sizeof one);
  }
  void shutdownBoth() override {
    m_shutDown.store(true);
    shutdown(m_socket, SD_BOTH);
#ifdef _WIN32
    // Windows' shutdown leaves a receive under way waiting for the peer: cancel it. (One that
    // starts between the check in readSome and this call still waits for the peer.)
    CancelIoEx(reinterpret_cast<HANDLE>(m_socket), nullptr);
#endif
  }
  void closeHandle() override {
    if (m_socket != INVALID_SOCKET) closesocket(m_socket);
    m_socket = INVALID_SOCKET;
  }
  DWORD endOfStreamError() const override { return static_cast<DWORD>(WSAECONNRESET); }

 private:
  SOCKET m_socket;
  std::vector<WSABUF> m_buffers;        // the parts of one write; writer thread only
  std::atomic<bool> m_shutDown{false};  // set by shutdownBoth on any thread
};

}  // namespace

bool gf_startWinsock() {
  std::lock_guard lock(g_winsockMutex);
  if (g_winsockStarted) return true;
  WSADATA data{};
  g_winsockStarted = WSAStartup(MAKEWORD(2, 0), &data) == 0;
  return g_winsockStarted;
}

void gf_stopWinsock() {
  std::lock_guard lock(g_winsockMutex);
  if (!g_winsockStarted) return;
  WSACleanup();
  g_winsockStarted = false;
}

bool gf_ipv6LoopbackAvailable() {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* result = nullptr;
  if (getaddrinfo("::1", nullptr, &hints, &result) != 0) return false;
  freeaddrinfo(result);
  return true;
}

std::unique_ptr<StreamEndpoint> gf_connectPipe(const std::string& pipeName) {
  const WString name = gf_toUtf16(pipeName);
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(kPipeBusyWaitMs);
  for (;;) {
    const HANDLE h = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                 OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (h != INVALID_HANDLE_VALUE) return std::make_unique<PipeEndpoint>(h);
    if (GetLastError() != ERROR_PIPE_BUSY) return nullptr;
    // A pipe that stays busy is given up once the wait time is used up.
    if (std::chrono::steady_clock::now() >= deadline) return nullptr;
    if (!WaitNamedPipeW(name.c_str(), kPipeBusyWaitMs)) return nullptr;
  }
}

std::unique_ptr<StreamEndpoint> gf_connectTcp(int family, const std::string& address,
                                              const std::string& port) {
  if (port.empty() || !gf_startWinsock()) return nullptr;
  addrinfo hints{};
  hints.ai_family = family;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  addrinfo* result = nullptr;
  if (getaddrinfo(address.c_str(), port.c_str(), &hints, &result) != 0) return nullptr;
  std::unique_ptr<StreamEndpoint> endpoint;
  for (addrinfo* a = result; a != nullptr && !endpoint; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype, a->ai_protocol);
    if (fd < 0) continue;
    const auto s = static_cast<SOCKET>(fd);
    if (::connect(fd, a->ai_addr, a->ai_addrlen) == 0) {
      endpoint = std::make_unique<SocketEndpoint>(s);
    } else {
      closesocket(s);
    }
  }
  freeaddrinfo(result);
  return endpoint;
}

}  // namespace simconnect
