#include "airports/airports_test_helpers.h"

#include <atomic>
#include <mutex>

#include <cstdlib>
#include <fstream>
#include <sstream>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>  // getpid, fork, setuid
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

HttpServer::HttpServer(const std::filesystem::path& root) : m_server(root) {
  if (running()) ::setenv("ZENDRIK_DOWNLOAD_URL", url().c_str(), 1);
}

HttpServer::~HttpServer() {
  ::unsetenv("ZENDRIK_DOWNLOAD_URL");
}

std::string readText(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

#ifndef _WIN32
int runAsUser(const std::function<int()>& step) {
  constexpr uid_t kNobody = 65534;
  namespace fs = std::filesystem;
  fs::permissions(fs::current_path(), fs::perms::all);
  for (const auto& entry : fs::recursive_directory_iterator(fs::current_path())) {
    if (entry.is_directory()) {
      fs::permissions(entry.path(), fs::perms::all);
    }
  }
  const pid_t child = ::fork();
  if (child == 0) {
    const bool dropped = ::geteuid() != 0 || (::setgid(kNobody) == 0 && ::setuid(kNobody) == 0);
    ::_exit(dropped ? step() : kNoUserRights);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
    return -1;
  }
  return WEXITSTATUS(status);
}
#endif

}  // namespace airports_test
