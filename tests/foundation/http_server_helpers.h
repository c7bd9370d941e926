// Local HTTP servers for the download tests: a file server over a fixture folder, a server that
// sends half a body and then stalls, and a scripted one. Each listens on 127.0.0.1 on a free
// port and answers on one thread of its own, written against Winsock so that the Windows tree
// runs them too.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// A Winsock SOCKET, named here so that the tests including this need not see the platform
// headers.
using LoopbackSocket = std::uintptr_t;

// A listening socket on 127.0.0.1 (a free port) and the thread that serves it; the thread is
// stopped and joined when this ends, so a server keeps it as its last member.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  static constexpr LoopbackSocket kNoSocket = ~LoopbackSocket{0};  // INVALID_SOCKET

  bool listening() const { return m_listener != kNoSocket; }
  void start(std::function<void()> serve);
  // Waits up to 50 ms for a connection; kNoSocket when none came.
  LoopbackSocket acceptClient() const;
  // Reads a request head ("GET /path HTTP/1.1" ... blank line); "" when the client left, sent
  // no whole head in time or sent a head too large.
  std::string readRequest(LoopbackSocket client) const;
  bool stopping() const { return m_stop.load(); }
  std::string url() const;  // "http://127.0.0.1:<port>/"

 private:
  bool m_winsock = false;  // WSAStartup succeeded
  LoopbackSocket m_listener = kNoSocket;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};

// Serves the files below root to GET and HEAD, one request per connection (each answer says
// "Connection: close"), with their Content-Length; 404 for a missing file, a folder or a path
// that leaves root. running() is false when no loopback port could be had.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(const std::filesystem::path& root);
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool running() const { return m_listener.listening(); }
  std::string url() const { return m_listener.url(); }  // "http://127.0.0.1:<port>/"

 private:
  void serve();
  void answer(LoopbackSocket client);

  std::filesystem::path m_root;
  LoopbackListener m_listener;
};

// Answers the first request with a 200 header promising `promisedBytes`, sends half of them and
// then keeps the connection open without sending anything until it is destroyed.
class StallingHttpServer {
 public:
  explicit StallingHttpServer(std::size_t promisedBytes);
  std::string url() const;  // "http://127.0.0.1:<port>/stall.bin"

 private:
  void serve();

  std::size_t m_promised;
  LoopbackListener m_listener;
};

// Answers each request with the raw response (status line, headers, body) scripted for its
// path, "HTTP/1.1 404 Not Found" for any other path, one request per connection.
class ScriptedHttpServer {
 public:
  using Script = std::vector<std::pair<std::string, std::string>>;  // path ("/x"), response
  explicit ScriptedHttpServer(Script script);
  std::string url() const { return m_listener.url(); }
  // A response of the status line and headers given ("HTTP/1.1 302 Found\r\nLocation: /b")
  // with the body and its length.
  static std::string response(const std::string& head, const std::string& body);

 private:
  void serve();
  void answer(LoopbackSocket client);

  Script m_script;
  LoopbackListener m_listener;
};

// A zip archive written with libzip; a name ending in '/' becomes a folder entry.
// Stored (not compressed) entries when stored is set.
void gf_testWriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& entries,
                     bool stored = false);
