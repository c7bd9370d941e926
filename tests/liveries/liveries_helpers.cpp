// Shared pieces of the livery tests (see liveries_test_support.h).

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "foundation/log.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_test_support.h"

extern char** environ;

namespace liveries_test {
namespace {

std::filesystem::path lf_makeTempDir(const char* pattern) {
  std::string templ = (std::filesystem::temp_directory_path() / pattern).string();
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  return templ;
}

int lf_freePort() {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = 0;
  socklen_t len = sizeof addr;
  if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
    close(s);
    return -1;
  }
  close(s);
  return ntohs(addr.sin_port);
}

bool lf_answers(int port) {
  const int s = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  const bool ok = connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
  close(s);
  return ok;
}

}  // namespace

ScopedWorkDir::ScopedWorkDir()
    : previous_(std::filesystem::current_path()), dir_(lf_makeTempDir("zendrik-liveries-XXXXXX")) {
  std::filesystem::current_path(dir_);
  std::filesystem::create_directories("input");
  gf_openLog();
}

ScopedWorkDir::~ScopedWorkDir() {
  gf_closeLog();
  std::error_code ec;
  std::filesystem::current_path(previous_, ec);
  std::filesystem::remove_all(dir_, ec);
}

std::string ScopedWorkDir::log() const {
  std::ifstream in(dir_ / "Log.txt", std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

LocalHttpServer::LocalHttpServer() : folder_(lf_makeTempDir("zendrik-server-XXXXXX")) {
  constexpr int kAttempts = 3;
  for (int attempt = 0; attempt < kAttempts && pid_ <= 0; ++attempt) {
    const int port = lf_freePort();
    if (port <= 0) continue;
    const std::string portText = std::to_string(port);
    const std::string folderText = folder_.string();
    const char* argv[] = {
        "python3",        "-m",          "http.server",      "--bind", "127.0.0.1",
        portText.c_str(), "--directory", folderText.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc =
        posix_spawnp(&pid, "python3", &actions, nullptr, const_cast<char**>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) continue;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && !lf_answers(port))
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    if (!lf_answers(port)) {
      kill(pid, SIGTERM);
      waitpid(pid, nullptr, 0);
      continue;
    }
    pid_ = pid;
    setenv("ZENDRIK_DOWNLOAD_URL", ("http://127.0.0.1:" + portText + "/").c_str(), 1);
  }
}

LocalHttpServer::~LocalHttpServer() {
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    waitpid(pid_, nullptr, 0);
  }
  unsetenv("ZENDRIK_DOWNLOAD_URL");
  std::error_code ec;
  std::filesystem::remove_all(folder_, ec);
}

void resetDbaseTables() {
  g_dbaseTypes.clear();
  g_dbaseHighPerf.clear();
  g_dbaseHeavy.clear();
  g_dbaseLarge.clear();
  g_dbaseBuzjet.clear();
  g_dbaseRotorcraft.clear();
  g_dbaseCargoTypes.clear();
  g_dbaseSimilarGroups.clear();
  g_dbaseIcaoAirlines.clear();
  g_dbaseCargoOperators.clear();
  g_dbasePublishers.clear();
  g_dbaseWingspans.clear();
  g_defaultWingspan.fill(0.0);
  g_maxHalfWingspanNm = 0.0;
  g_dbaseFixes.clear();
  g_dbaseSimaddonAirports.clear();
  g_dbaseThirdParties.clear();
  g_dbaseRegs.clear();
  g_dbasePvtRegs.clear();
}

void writeBytes(const std::filesystem::path& file, const std::string& bytes) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace liveries_test
