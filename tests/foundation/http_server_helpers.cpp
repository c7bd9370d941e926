// Local HTTP servers and zip builder for the download tests.
#include "http_server_helpers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

namespace {

constexpr auto kStartWait = std::chrono::seconds(15);

sockaddr_in lf_loopback(int port) {
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<uint16_t>(port));
  return addr;
}

int lf_listenLoopback(int* port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  const int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in addr = lf_loopback(0);
  socklen_t len = sizeof addr;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    ::close(fd);
    return -1;
  }
  *port = ntohs(addr.sin_port);
  return fd;
}

bool lf_answers(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return false;
  const sockaddr_in addr = lf_loopback(port);
  const bool ok = ::connect(fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
  ::close(fd);
  return ok;
}

int lf_startPython(const std::filesystem::path& root, int port) {
  const std::string portText = std::to_string(port);
  const std::string rootText = root.string();
  const pid_t pid = ::fork();
  if (pid != 0) return pid;
  const int devNull = ::open("/dev/null", O_RDWR);
  if (devNull >= 0) {
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
  }
  ::execlp("python3", "python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
           rootText.c_str(), portText.c_str(), static_cast<char*>(nullptr));
  ::_exit(127);
}

void lf_stopChild(int pid) {
  ::kill(pid, SIGTERM);
  int status = 0;
  ::waitpid(pid, &status, 0);
}

}  // namespace

LocalHttpServer::LocalHttpServer(const std::filesystem::path& root) {
  for (int attempt = 0; attempt < 3 && m_pid <= 0; ++attempt) {
    // A free port: bound once by us, released, then handed to the server.
    const int probe = lf_listenLoopback(&m_port);
    if (probe < 0) return;
    ::close(probe);
    const int pid = lf_startPython(root, m_port);
    if (pid < 0) return;
    const auto deadline = std::chrono::steady_clock::now() + kStartWait;
    bool up = false;
    while (!up && std::chrono::steady_clock::now() < deadline) {
      int status = 0;
      if (::waitpid(pid, &status, WNOHANG) == pid) break;  // exited: port taken or no python
      up = lf_answers(m_port);
      if (!up) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (up) {
      m_pid = pid;
    } else {
      lf_stopChild(pid);
    }
  }
}

LocalHttpServer::~LocalHttpServer() {
  if (m_pid > 0) lf_stopChild(m_pid);
}

std::string LocalHttpServer::url() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

LoopbackListener::LoopbackListener() {
  m_listener = lf_listenLoopback(&m_port);
  if (m_listener < 0) throw std::runtime_error("no loopback listener");
}

LoopbackListener::~LoopbackListener() {
  m_stop = true;
  if (m_thread.joinable()) m_thread.join();
  ::close(m_listener);
}

void LoopbackListener::start(std::function<void()> serve) {
  m_thread = std::thread(std::move(serve));
}

int LoopbackListener::acceptClient() const {
  pollfd p{m_listener, POLLIN, 0};
  return ::poll(&p, 1, 50) > 0 ? ::accept(m_listener, nullptr, nullptr) : -1;
}

std::string LoopbackListener::readRequest(int client) const {
  std::string request;
  char buffer[1024];
  while (!m_stop && request.find("\r\n\r\n") == std::string::npos) {
    pollfd p{client, POLLIN, 0};
    if (::poll(&p, 1, 50) <= 0) continue;
    const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
    if (n <= 0) return {};
    request.append(buffer, static_cast<std::size_t>(n));
  }
  return request;
}

std::string LoopbackListener::url() const {
  return "http://127.0.0.1:" + std::to_string(m_port) + "/";
}

StallingHttpServer::StallingHttpServer(std::size_t promisedBytes) : m_promised(promisedBytes) {
  m_listener.start([this] { serve(); });
}

std::string StallingHttpServer::url() const {
  return m_listener.url() + "stall.bin";
}

void StallingHttpServer::serve() {
  int client = -1;
  while (!m_listener.stopping() && client < 0) client = m_listener.acceptClient();
  if (client < 0) return;
  // Read the request head, then answer with half of the promised body.
  m_listener.readRequest(client);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n"
      "Content-Length: " +
      std::to_string(m_promised) + "\r\n\r\n";
  const std::string body(m_promised / 2, 'x');
  ::send(client, head.data(), head.size(), MSG_NOSIGNAL);
  ::send(client, body.data(), body.size(), MSG_NOSIGNAL);
  while (!m_listener.stopping()) std::this_thread::sleep_for(std::chrono::milliseconds(20));
  ::close(client);
}

ScriptedHttpServer::ScriptedHttpServer(Script script) : m_script(std::move(script)) {
  m_listener.start([this] { serve(); });
}

std::string ScriptedHttpServer::response(const std::string& head, const std::string& body) {
  return head + "\r\nContent-Length: " + std::to_string(body.size()) +
         "\r\nConnection: close\r\n\r\n" + body;
}

void ScriptedHttpServer::serve() {
  while (!m_listener.stopping()) {
    const int client = m_listener.acceptClient();
    if (client < 0) continue;
    answer(client);
    ::close(client);
  }
}

void ScriptedHttpServer::answer(int client) {
  const std::string request = m_listener.readRequest(client);
  if (request.empty()) return;
  // "GET /path HTTP/1.1"
  const std::size_t start = request.find(' ') + 1;
  const std::string path = request.substr(start, request.find(' ', start) - start);
  std::string reply = response("HTTP/1.1 404 Not Found", "not here");
  for (const auto& [scripted, text] : m_script) {
    if (scripted == path) reply = text;
  }
  for (std::size_t sent = 0; sent < reply.size();) {
    const ssize_t n = ::send(client, reply.data() + sent, reply.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return;
    sent += static_cast<std::size_t>(n);
  }
}
