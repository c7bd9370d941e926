// Local HTTP servers for the download tests, on Winsock: the Windows tree runs them on the
// system's, the Linux tree on the platform layer's. Each server answers on its listener's thread,
// one connection after the other; curl's requests are small and come at once, so a queue of
// waiting connections in the listen backlog costs nothing.
#include "http_server_helpers.h"

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <type_traits>

#include "platform/win32.h"

static_assert(std::is_same_v<SOCKET, LoopbackSocket>);

namespace fs = std::filesystem;

namespace {

constexpr int kPollMs = 50;                            // how often a waiting thread looks at m_stop
constexpr auto kRequestWait = std::chrono::seconds(10);  // for a whole request head
constexpr std::size_t kMaxRequestHead = 64 * 1024;     // bytes
constexpr std::size_t kFileChunk = 64 * 1024;          // bytes sent at a time

SOCKADDR_IN lf_loopback(int port) {
  SOCKADDR_IN addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<u_short>(port));
  return addr;
}

SOCKET lf_listenLoopback(int* port) {
  const SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return INVALID_SOCKET;
  SOCKADDR_IN addr = lf_loopback(0);
  socklen_t length = sizeof addr;
  if (::bind(s, reinterpret_cast<SOCKADDR*>(&addr), sizeof addr) != 0 ||
      ::listen(s, SOMAXCONN) != 0 ||
      ::getsockname(s, reinterpret_cast<SOCKADDR*>(&addr), &length) != 0) {
    ::closesocket(s);
    return INVALID_SOCKET;
  }
  *port = ntohs(addr.sin_port);
  return s;
}

// Whether s becomes readable (a listener: a connection waits) within timeoutMs.
bool lf_readable(SOCKET s, int timeoutMs) {
#ifndef _WIN32
  // A POSIX fd_set holds descriptors below FD_SETSIZE only (Windows' holds a count of sockets).
  if (s >= static_cast<SOCKET>(FD_SETSIZE)) return false;
#endif
  fd_set set;
  FD_ZERO(&set);
  FD_SET(s, &set);
  timeval timeout{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
  return ::select(static_cast<int>(s) + 1, &set, nullptr, nullptr, &timeout) > 0;
}

bool lf_sendAll(SOCKET client, const char* data, std::size_t size) {
  for (std::size_t sent = 0; sent < size;) {
    const int n = ::send(client, data + sent, static_cast<int>(size - sent), 0);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool lf_sendAll(SOCKET client, const std::string& data) {
  return lf_sendAll(client, data.data(), data.size());
}

// The client has its answer: end the stream and let the socket go.
void lf_finish(SOCKET client) {
  ::shutdown(client, SD_SEND);
  ::closesocket(client);
}

}  // namespace

LoopbackListener::LoopbackListener() {
  WSADATA data{};
  m_winsock = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
  if (m_winsock) m_listener = lf_listenLoopback(&m_port);
}

LoopbackListener::~LoopbackListener() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  if (m_listener != INVALID_SOCKET) ::closesocket(m_listener);
  if (m_winsock) ::WSACleanup();
}

void LoopbackListener::start(std::function<void()> serve) {
  m_thread = std::thread(std::move(serve));
}

SOCKET LoopbackListener::acceptClient() const {
  if (!lf_readable(m_listener, kPollMs)) return INVALID_SOCKET;
  return ::accept(m_listener, nullptr, nullptr);
}

std::string LoopbackListener::readRequest(SOCKET client) const {
  std::string request;
  char buffer[1024];
  const auto deadline = std::chrono::steady_clock::now() + kRequestWait;
  while (request.find("\r\n\r\n") == std::string::npos) {
    if (m_stop || request.size() > kMaxRequestHead || std::chrono::steady_clock::now() > deadline)
      return {};
    if (!lf_readable(client, kPollMs)) continue;
    const int n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return {};
    request.append(buffer, static_cast<std::size_t>(n));
  }
  return request;
}

std::string LoopbackListener::url() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

namespace {

// "GET /a%20b/c.zip?x HTTP/1.1" -> method "GET", path "/a b/c.zip".
struct RequestLine {
  std::string method;
  std::string path;
};

int lf_hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The path with its %XX escapes decoded; "" when an escape is malformed.
std::string lf_percentDecoded(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '%') {
      out.push_back(text[i]);
      continue;
    }
    const int high = i + 2 < text.size() ? lf_hexDigit(text[i + 1]) : -1;
    const int low = high >= 0 ? lf_hexDigit(text[i + 2]) : -1;
    if (low < 0) return {};
    out.push_back(static_cast<char>(high * 16 + low));
    i += 2;
  }
  return out;
}

RequestLine lf_requestLine(const std::string& request) {
  const std::size_t methodEnd = request.find(' ');
  if (methodEnd == std::string::npos) return {};
  const std::size_t targetEnd = request.find(' ', methodEnd + 1);
  if (targetEnd == std::string::npos) return {};
  std::string target = request.substr(methodEnd + 1, targetEnd - methodEnd - 1);
  target = target.substr(0, target.find_first_of("?#"));
  return {request.substr(0, methodEnd), lf_percentDecoded(target)};
}

// The file below root that the URL path names; empty when the path is not absolute or would
// leave root ("..", a drive or a backslash in a segment).
fs::path lf_servedFile(const fs::path& root, const std::string& urlPath) {
  if (urlPath.empty() || urlPath[0] != '/') return {};
  fs::path file = root;
  std::size_t start = 1;
  while (start <= urlPath.size()) {
    std::size_t end = urlPath.find('/', start);
    if (end == std::string::npos) end = urlPath.size();
    const std::string segment = urlPath.substr(start, end - start);
    if (segment == ".." || segment.find_first_of("\\:") != std::string::npos ||
        segment.find('\0') != std::string::npos)
      return {};
    if (!segment.empty() && segment != ".")
      file /= fs::path(std::u8string(segment.begin(), segment.end()));
    start = end + 1;
  }
  return file;
}

std::string lf_head(const std::string& status, std::uintmax_t length) {
  return "HTTP/1.1 " + status + "\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
         std::to_string(length) + "\r\nConnection: close\r\n\r\n";
}

// Sends the head and, unless only the head was asked for, the file's bytes.
void lf_sendFile(SOCKET client, const fs::path& file, bool withBody) {
  std::error_code error;
  const std::uintmax_t size = fs::file_size(file, error);
  std::ifstream in(file, std::ios::binary);
  if (error || !in) {
    lf_sendAll(client, lf_head("404 Not Found", 0));
    return;
  }
  if (!lf_sendAll(client, lf_head("200 OK", size)) || !withBody) return;
  std::string chunk(kFileChunk, '\0');
  while (in.read(chunk.data(), static_cast<std::streamsize>(chunk.size())) || in.gcount() > 0) {
    if (!lf_sendAll(client, chunk.data(), static_cast<std::size_t>(in.gcount()))) return;
  }
}

}  // namespace

LocalHttpServer::LocalHttpServer(const fs::path& root) : m_root(root) {
  if (running()) m_listener.start([this] { serve(); });
}

void LocalHttpServer::serve() {
  while (!m_listener.stopping()) {
    const SOCKET client = m_listener.acceptClient();
    if (client == INVALID_SOCKET) continue;
    answer(client);
    lf_finish(client);
  }
}

void LocalHttpServer::answer(SOCKET client) {
  const std::string request = m_listener.readRequest(client);
  if (request.empty()) return;
  const RequestLine line = lf_requestLine(request);
  if (line.method != "GET" && line.method != "HEAD") {
    lf_sendAll(client, lf_head("501 Not Implemented", 0));
    return;
  }
  const fs::path file = lf_servedFile(m_root, line.path);
  std::error_code error;
  if (file.empty() || !fs::is_regular_file(file, error)) {
    lf_sendAll(client, lf_head("404 Not Found", 0));
    return;
  }
  lf_sendFile(client, file, line.method == "GET");
}

StallingHttpServer::StallingHttpServer(std::size_t promisedBytes) : m_promised(promisedBytes) {
  if (!m_listener.listening()) throw std::runtime_error("no loopback listener");
  m_listener.start([this] { serve(); });
}

std::string StallingHttpServer::url() const {
  return m_listener.url() + "stall.bin";
}

void StallingHttpServer::serve() {
  SOCKET client = INVALID_SOCKET;
  while (!m_listener.stopping() && client == INVALID_SOCKET) client = m_listener.acceptClient();
  if (client == INVALID_SOCKET) return;
  // Read the request head, then answer with half of the promised body.
  m_listener.readRequest(client);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Content-Length: " +
      std::to_string(m_promised) + "\r\n\r\n";
  lf_sendAll(client, head);
  lf_sendAll(client, std::string(m_promised / 2, 'x'));
  while (!m_listener.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
  ::closesocket(client);
}

ScriptedHttpServer::ScriptedHttpServer(Script script) : m_script(std::move(script)) {
  if (!m_listener.listening()) throw std::runtime_error("no loopback listener");
  m_listener.start([this] { serve(); });
}

std::string ScriptedHttpServer::response(const std::string& head, const std::string& body) {
  return head + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

void ScriptedHttpServer::serve() {
  while (!m_listener.stopping()) {
    const SOCKET client = m_listener.acceptClient();
    if (client == INVALID_SOCKET) continue;
    answer(client);
    lf_finish(client);
  }
}

void ScriptedHttpServer::answer(SOCKET client) {
  const std::string request = m_listener.readRequest(client);
  if (request.empty()) return;
  std::string reply = response("HTTP/1.1 404 Not Found", "not here");
  const std::string path = lf_requestLine(request).path;
  for (const auto& [scripted, text] : m_script) {
    if (scripted == path) reply = text;
  }
  lf_sendAll(client, reply);
}
