#include "airports/airports_test_helpers.h"

#include <atomic>
#include <mutex>

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>
#endif

#include "airports/scan_log.h"
#include "foundation/log.h"

namespace airports_test {

std::vector<ReadAirport> readAirports(const BglWords& words, const std::string& bglPath) {
  std::vector<ReadAirport> airports;
  lf_walkBglAirports(words, [&](const BglAirportRecord& record) {
    ReadAirport airport;
    airport.file.ICAO = record.ident;
    airport.helipads = lf_readBglAirport(words, record, bglPath, airport.file);
    airports.push_back(std::move(airport));
  });
  return airports;
}

std::vector<ReadAirport> readAirports(const std::vector<std::uint8_t>& bytes,
                                      const std::string& bglPath) {
  return readAirports(BglWords::fromBytes(bytes), bglPath);
}

std::vector<std::string> takeScanLog() {
  std::lock_guard lock(g_scanLogMutex);
  std::vector<std::string> lines;
  lines.swap(g_scanLogLines);
  return lines;
}

TempDir::TempDir() {
  static std::atomic<int> counter{0};
  m_path = std::filesystem::temp_directory_path() /
           ("zendrik_airports_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  std::filesystem::remove_all(m_path);
  std::filesystem::create_directories(m_path);
}

TempDir::~TempDir() {
  std::error_code ec;
  std::filesystem::remove_all(m_path, ec);
}

std::filesystem::path realworldDir() {
  std::filesystem::path dir = ZENDRIK_REALWORLD_DIR;
  return std::filesystem::is_directory(dir) ? dir : std::filesystem::path{};
}

WorkingFolder::WorkingFolder() : m_previous(std::filesystem::current_path()) {
  std::filesystem::current_path(m_dir.path());
  gf_openLog();
}

WorkingFolder::~WorkingFolder() {
  gf_closeLog();
  std::filesystem::current_path(m_previous);
}

std::vector<std::string> WorkingFolder::logLines() const {
  std::vector<std::string> lines;
  std::ifstream in(m_dir.path() / "Log.txt");
  for (std::string line; std::getline(in, line);) {
    lines.push_back(line);
  }
  return lines;
}

bool WorkingFolder::logHas(const std::string& text) const {
  for (const std::string& line : logLines()) {
    if (line.find(text) != std::string::npos) {
      return true;
    }
  }
  return false;
}

// The server is python3 in a forked child: the tests that download are Linux-only.
#ifndef _WIN32
HttpServer::HttpServer(const std::filesystem::path& root) {
  int out[2];
  if (::pipe(out) != 0) {
    return;
  }
  const std::string rootText = root.string();
  m_pid = ::fork();
  if (m_pid == 0) {
    const int devnull = ::open("/dev/null", O_WRONLY);
    ::dup2(out[1], 1);
    ::dup2(devnull, 2);
    ::close(out[0]);
    // Port 0: python binds a free port itself and names it in its first line.
    ::execlp("python3", "python3", "-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
             rootText.c_str(), "0", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(out[1]);
  m_out = out[0];
  // "Serving HTTP on 127.0.0.1 port 40123 (...)"; python starts slowly on a loaded machine.
  std::string line;
  pollfd ready{m_out, POLLIN, 0};
  for (char c = 0; line.find('\n') == std::string::npos && ::poll(&ready, 1, 30000) > 0 &&
                   ::read(m_out, &c, 1) == 1;) {
    line.push_back(c);
  }
  int port = 0;
  if (const auto at = line.find(" port "); at != std::string::npos) {
    std::from_chars(line.data() + at + 6, line.data() + line.size(), port);
  }
  if (m_pid > 0 && port > 0) {
    m_url = "http://127.0.0.1:" + std::to_string(port) + "/";
    ::setenv("ZENDRIK_DOWNLOAD_URL", m_url.c_str(), 1);
  }
}

HttpServer::~HttpServer() {
  ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }
  if (m_out >= 0) {
    ::close(m_out);
  }
}
#endif

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace airports_test
