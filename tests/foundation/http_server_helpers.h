// Local HTTP servers for the download tests: Python's http.server over a fixture folder, and a
// server that sends half a body and then stalls. Both listen on 127.0.0.1 on a free port.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

// `python3 -m http.server` serving root. running() is false when it could not be started.
class LocalHttpServer {
 public:
  explicit LocalHttpServer(const std::filesystem::path& root);
  ~LocalHttpServer();
  LocalHttpServer(const LocalHttpServer&) = delete;
  LocalHttpServer& operator=(const LocalHttpServer&) = delete;

  bool running() const { return m_pid > 0; }
  // "http://127.0.0.1:<port>/"
  std::string url() const;

 private:
  int m_pid = -1;
  int m_port = 0;
};

// A listening socket on 127.0.0.1 (a free port) and the thread that serves it; the thread is
// stopped and joined when this ends, so a server keeps it as its last member.
class LoopbackListener {
 public:
  LoopbackListener();
  ~LoopbackListener();
  LoopbackListener(const LoopbackListener&) = delete;
  LoopbackListener& operator=(const LoopbackListener&) = delete;

  void start(std::function<void()> serve);
  // Waits up to 50 ms for a connection; -1 when none came.
  int acceptClient() const;
  // Reads a request head ("GET /path HTTP/1.1" ... blank line); "" when the client left.
  std::string readRequest(int client) const;
  bool stopping() const { return m_stop.load(); }
  std::string url() const;  // "http://127.0.0.1:<port>/"

 private:
  int m_listener = -1;
  int m_port = 0;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
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
  void answer(int client);

  Script m_script;
  LoopbackListener m_listener;
};

// A zip archive written with libzip; a name ending in '/' becomes a folder entry.
// Stored (not compressed) entries when stored is set.
void gf_testWriteZip(const std::filesystem::path& file,
                     const std::vector<std::pair<std::string, std::string>>& entries,
                     bool stored = false);
