#include "airports/airports_test_helpers.h"

#include <atomic>
#include <mutex>
#include <random>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

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

namespace {

int lf_freePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  ::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(s);
  return ntohs(address.sin_port);
}

bool lf_accepts(int port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(s);
  return ok;
}

}  // namespace

HttpServer::HttpServer(const std::filesystem::path& root) {
  const std::string rootText = root.string();
  // The free port may be taken by another process before python binds it, and python starts
  // slowly on a loaded machine: try a few ports, each with a generous wait.
  for (int tries = 0; tries < 3 && m_url.empty(); ++tries) {
    const std::string portText = std::to_string(lf_freePort());
    m_pid = ::fork();
    if (m_pid == 0) {
      const int devnull = ::open("/dev/null", O_WRONLY);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      ::execlp("python3", "python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
               rootText.c_str(), portText.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    if (m_pid < 0) {
      return;
    }
    bool ended = false;
    for (int attempt = 0; attempt < 1200 && !ended; ++attempt) {
      if (lf_accepts(std::stoi(portText))) {
        m_url = "http://127.0.0.1:" + portText + "/";
        ::setenv("ZENDRIK_DOWNLOAD_URL", m_url.c_str(), 1);
        return;
      }
      ended = ::waitpid(m_pid, nullptr, WNOHANG) == m_pid;  // port taken, or no python
      if (!ended) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
      }
    }
    if (!ended) {
      ::kill(m_pid, SIGTERM);
      ::waitpid(m_pid, nullptr, 0);
    }
    m_pid = -1;
  }
}

HttpServer::~HttpServer() {
  ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  if (m_pid > 0) {
    ::kill(m_pid, SIGTERM);
    ::waitpid(m_pid, nullptr, 0);
  }
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace airports_test
