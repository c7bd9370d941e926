// The stand-in's TCP session with the program: version reply and the record of what arrives.
#include <fmt/format.h>

#include <stdexcept>

#include "rt-standin/rt_standin.h"

namespace rtstandin {
namespace {

constexpr int kRetryMs = 100;
constexpr int kServeSliceMs = 50;  // longest wait of the session thread before it looks at leaving_

SOCKET lf_connectOnce(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &result) != 0) return INVALID_SOCKET;
  SOCKET s = INVALID_SOCKET;
  for (addrinfo* ai = result; ai != nullptr && s == INVALID_SOCKET; ai = ai->ai_next) {
    s = socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (s == INVALID_SOCKET) continue;
    if (connect(s, ai->ai_addr, static_cast<int>(ai->ai_addrlen)) != 0) {
      closesocket(s);
      s = INVALID_SOCKET;
    }
  }
  freeaddrinfo(result);
  return s;
}

// Waits up to `ms` for data (or the connection's end) on `s`. True also when select fails: the
// recv that follows tells what is wrong.
bool lf_readable(SOCKET s, int ms) {
#ifndef _WIN32
  // A POSIX fd_set holds descriptors below FD_SETSIZE only; a larger one waits in recv alone.
  if (s >= static_cast<SOCKET>(FD_SETSIZE)) return true;
#endif
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval timeout{0, ms * 1000};
  return select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &timeout) != 0;
}

// Winsock's send never raises SIGPIPE: a program gone away is a failed send.
bool lf_sendAll(SOCKET s, std::string_view text) {
  while (!text.empty()) {
    const int n = send(s, text.data(), text.size(), 0);
    if (n <= 0) return false;
    text.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string lf_jsonString(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      out += fmt::format("\\u{:04x}", static_cast<unsigned>(c));
    } else {
      out += c;
    }
  }
  return out + "\"";
}

}  // namespace

Session::Session(Options options, LineLog* log) : options_(std::move(options)), log_(log) {}

Session::~Session() {
  stop();
}

bool Session::connect(int timeoutMs) {
  disconnect();
  for (int waited = 0; !stop_.load(); waited += kRetryMs) {
    const SOCKET s = lf_connectOnce(options_.serverHost, options_.serverPort);
    if (s != INVALID_SOCKET) {
      socket_ = s;
      exitReceived_ = false;
      connected_ = true;
      if (log_ != nullptr)
        log_->write(fmt::format("connected to {}:{}", options_.serverHost, options_.serverPort));
      thread_ = std::thread([this, s] { serve(s); });
      return true;
    }
    if (timeoutMs >= 0 && waited >= timeoutMs) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
  }
  return false;
}

void Session::disconnect() {
  // Windows' shutdown does not wake a blocked recv: the session thread waits in slices and
  // looks at leaving_ between them. The shutdown tells the program at once.
  leaving_ = true;
  if (socket_ != INVALID_SOCKET) shutdown(socket_, SD_BOTH);
  if (thread_.joinable()) thread_.join();
  if (socket_ != INVALID_SOCKET) {
    closesocket(socket_);
    socket_ = INVALID_SOCKET;
  }
  leaving_ = false;
  connected_ = false;
}

void Session::stop() {
  stop_ = true;
  disconnect();
}

Received Session::received() const {
  std::lock_guard lock(mutex_);
  return received_;
}

void Session::serve(SOCKET s) {
  std::string pending;
  char buffer[4096];
  while (!leaving_.load()) {
    if (!lf_readable(s, kServeSliceMs)) continue;
    const int n = recv(s, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      handleLine(s, line);
    }
  }
  connected_ = false;
  if (log_ != nullptr && !stop_.load()) log_->write("connection closed by the program");
}

void Session::handleLine(SOCKET s, const std::string& line) {
  if (log_ != nullptr) log_->write(fmt::format("received {}", line));
  std::lock_guard lock(mutex_);
  if (line == "Qs999=version") {
    received_.versionQueries.push_back(line);
    // Sent in two writes, as a stream may deliver it.
    const std::string reply = fmt::format("{{\"version\": {}, \"level\": {}}}",
                                          lf_jsonString(options_.version), options_.level);
    const std::size_t half = reply.size() / 2;
    bool ok = lf_sendAll(s, std::string_view(reply).substr(0, half));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ok = ok && lf_sendAll(s, std::string_view(reply).substr(half));
    if (!ok && log_ != nullptr) log_->write("version reply could not be sent");
  } else if (line.rfind("Qs121=", 0) == 0) {
    received_.positions.push_back(line);
  } else if (line.rfind("Qs123=", 0) == 0) {
    received_.simTimes.push_back(line);
  } else if (line == "exit") {
    ++received_.exits;
    exitReceived_ = true;
  } else {
    received_.other.push_back(line);
  }
}

}  // namespace rtstandin
