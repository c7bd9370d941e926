// The stand-in's TCP session with the program: version reply and the record of what arrives.
#include <fmt/format.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include "rt-standin/rt_standin.h"

namespace rtstandin {
namespace {

constexpr int kRetryMs = 100;

int lf_connectOnce(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* result = nullptr;
  const std::string service = std::to_string(port);
  if (getaddrinfo(host.c_str(), service.c_str(), &hints, &result) != 0) return -1;
  int fd = -1;
  for (addrinfo* ai = result; ai != nullptr && fd < 0; ai = ai->ai_next) {
    fd = ::socket(ai->ai_family, ai->ai_socktype, ai->ai_protocol);
    if (fd < 0) continue;
    if (::connect(fd, ai->ai_addr, ai->ai_addrlen) != 0) {
      ::close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(result);
  return fd;
}

bool lf_sendAll(int fd, std::string_view text) {
  while (!text.empty()) {
    ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL);
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
    int fd = lf_connectOnce(options_.serverHost, options_.serverPort);
    if (fd >= 0) {
      fd_ = fd;
      exitReceived_ = false;
      connected_ = true;
      if (log_ != nullptr)
        log_->write(fmt::format("connected to {}:{}", options_.serverHost, options_.serverPort));
      thread_ = std::thread([this, fd] { serve(fd); });
      return true;
    }
    if (timeoutMs >= 0 && waited >= timeoutMs) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(kRetryMs));
  }
  return false;
}

void Session::disconnect() {
  if (fd_ >= 0) ::shutdown(fd_, SHUT_RDWR);
  if (thread_.joinable()) thread_.join();
  if (fd_ >= 0) {
    ::close(fd_);
    fd_ = -1;
  }
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

void Session::serve(int fd) {
  std::string pending;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    pending.append(buffer, static_cast<std::size_t>(n));
    for (auto end = pending.find('\n'); end != std::string::npos; end = pending.find('\n')) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      handleLine(fd, line);
    }
  }
  connected_ = false;
  if (log_ != nullptr && !stop_.load()) log_->write("connection closed by the program");
}

void Session::handleLine(int fd, const std::string& line) {
  if (log_ != nullptr) log_->write(fmt::format("received {}", line));
  std::lock_guard lock(mutex_);
  if (line == "Qs999=version") {
    received_.versionQueries.push_back(line);
    // Sent in two writes, as a stream may deliver it.
    const std::string reply = fmt::format("{{\"version\": {}, \"level\": {}}}",
                                          lf_jsonString(options_.version), options_.level);
    const std::size_t half = reply.size() / 2;
    bool ok = lf_sendAll(fd, std::string_view(reply).substr(0, half));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ok = ok && lf_sendAll(fd, std::string_view(reply).substr(half));
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
