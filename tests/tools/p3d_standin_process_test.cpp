// The p3d-standin program as a person runs it: command line, scenario file, trace file, Quit
// on termination, and a killed stand-in seen by the client library as a transport error.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <thread>

#include <nlohmann/json.hpp>

#include "simlink/simconnect/simconnect.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;

#ifdef ZENDRIK_P3D_STANDIN

// A running p3d-standin with its stdout read for the "listening" line.
class StandinProcess {
 public:
  explicit StandinProcess(std::vector<std::string> args) {
    int out[2];
    EXPECT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    args.insert(args.begin(), ZENDRIK_P3D_STANDIN);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    EXPECT_EQ(posix_spawn(&m_pid, ZENDRIK_P3D_STANDIN, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_out = ::fdopen(out[0], "r");
  }
  ~StandinProcess() {
    if (m_pid > 0) {
      ::kill(m_pid, SIGKILL);
      wait();
    }
    if (m_out != nullptr) std::fclose(m_out);
  }
  // The port from the first line of output, or -1.
  int port() {
    char line[512] = {};
    if (std::fgets(line, sizeof line, m_out) == nullptr) return -1;
    int port = -1;
    std::sscanf(line, "p3d-standin listening: port %d", &port);
    return port;
  }
  int wait() {
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -WTERMSIG(status);
  }
  void signal(int sig) { ::kill(m_pid, sig); }

 private:
  pid_t m_pid = -1;
  std::FILE* m_out = nullptr;
};

// A temporary current folder with a SimConnect.cfg for 127.0.0.1:port, and documents folders
// that hold none.
class ClientFolder {
 public:
  explicit ClientFolder(int port) {
    m_root = fs::temp_directory_path() / ("p3d-standin-proc-" + std::to_string(::getpid()));
    fs::create_directories(m_root / "cwd");
    m_previous = fs::current_path();
    for (const char* name : {"PUBLIC", "USERPROFILE", "ZENDRIK_REGISTRY"}) {
      const char* old = std::getenv(name);
      m_saved.emplace_back(name, old != nullptr ? std::optional<std::string>(old) : std::nullopt);
    }
    ::setenv("PUBLIC", (m_root / "public").c_str(), 1);
    ::setenv("USERPROFILE", (m_root / "user").c_str(), 1);
    ::setenv("ZENDRIK_REGISTRY", (m_root / "registry.txt").c_str(), 1);
    std::ofstream(m_root / "cwd" / "SimConnect.cfg")
        << "[SimConnect]\nProtocol=IPv4\nAddress=127.0.0.1\nPort=" << port << "\n";
    fs::current_path(m_root / "cwd");
  }
  ~ClientFolder() {
    fs::current_path(m_previous);
    for (const auto& [name, value] : m_saved) {
      if (value) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
    fs::remove_all(m_root);
  }
  fs::path root() const { return m_root; }

 private:
  fs::path m_root;
  fs::path m_previous;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

struct Seen {
  std::vector<std::uint32_t> ids;
};
void lf_record(SIMCONNECT_RECV* data, DWORD, void* context) {
  static_cast<Seen*>(context)->ids.push_back(data->dwID);
}

HRESULT lf_dispatchFor(HANDLE h, Seen& seen, double seconds, std::uint32_t untilId = 0) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  HRESULT hr = S_OK;
  while (std::chrono::steady_clock::now() < end) {
    hr = SimConnect_CallDispatch(h, lf_record, &seen);
    if (hr != S_OK) return hr;
    if (untilId != 0 &&
        std::find(seen.ids.begin(), seen.ids.end(), untilId) != seen.ids.end()) {
      return hr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return hr;
}

TEST(StandinProcess, RejectsABadCommandLine) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--port"},
                                        std::vector<std::string>{"--port", "x"},
                                        std::vector<std::string>{"--port", "1.5"},
                                        std::vector<std::string>{"--port6", "nan"},
                                        std::vector<std::string>{"--warp", "9"}}) {
    StandinProcess p(args);
    EXPECT_EQ(p.wait(), 2);
  }
  const fs::path missing = fs::temp_directory_path() / "no such scenario.json";
  StandinProcess p({"--port", "0", "--scenario", missing.string()});
  EXPECT_EQ(p.wait(), 1);
}

TEST(StandinProcess, TracesRequestsAndFramesAndSaysQuit) {
  const fs::path dir = fs::temp_directory_path() / ("p3d-standin-trace-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "scenario.json") << R"({"simulator": "v6", "sim_running": true})";
  StandinProcess p({"--port", "0", "--frame-hz", "50", "--scenario",
                    (dir / "scenario.json").string(), "--trace", (dir / "trace.jsonl").string()});
  const int port = p.port();
  ASSERT_GT(port, 0);
  {
    ClientFolder folder(port);
    HANDLE h = nullptr;
    ASSERT_EQ(SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 0), S_OK);
    ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 204, "Frame"), S_OK);
    SIMCONNECT_DATA_INITPOSITION pos{52.31, 4.76, 0, 0, 0, 90, 1, 0};
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(h, "Fokker 70", "PH-KZA", pos, 104), S_OK);
    Seen seen;
    EXPECT_EQ(lf_dispatchFor(h, seen, 5, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID), S_OK);
    EXPECT_EQ(lf_dispatchFor(h, seen, 0.2), S_OK);
    p.signal(SIGTERM);
    lf_dispatchFor(h, seen, 5, SIMCONNECT_RECV_ID_QUIT);
    EXPECT_NE(std::find(seen.ids.begin(), seen.ids.end(), SIMCONNECT_RECV_ID_QUIT),
              seen.ids.end());
    EXPECT_NE(std::find(seen.ids.begin(), seen.ids.end(), SIMCONNECT_RECV_ID_EVENT_FRAME),
              seen.ids.end());
    SimConnect_Close(h);
  }
  EXPECT_EQ(p.wait(), 0);
  std::ifstream in(dir / "trace.jsonl");
  int requests = 0, framesWithObject = 0;
  for (std::string line; std::getline(in, line);) {
    const auto j = nlohmann::json::parse(line);
    ASSERT_TRUE(j.contains("t"));
    if (j["kind"] == "request") {
      ++requests;
      if (j["type"] == "AICreateNonATCAircraft") {
        EXPECT_EQ(j["tail_number"], "PH-KZA");
      }
    }
    if (j["kind"] == "frame" && j["objects"].size() == 1) {
      EXPECT_EQ(j["objects"][0]["title"], "Fokker 70");
      ++framesWithObject;
    }
  }
  EXPECT_EQ(requests, 3);
  EXPECT_GT(framesWithObject, 3);
  fs::remove_all(dir);
}

TEST(StandinProcess, AKilledStandinIsATransportErrorForTheClient) {
  StandinProcess p({"--port", "0", "--frame-hz", "100"});
  const int port = p.port();
  ASSERT_GT(port, 0);
  ClientFolder folder(port);
  HANDLE h = nullptr;
  ASSERT_EQ(SimConnect_Open(&h, "Zendrik_P3D", nullptr, 0, nullptr, 0), S_OK);
  ASSERT_EQ(SimConnect_SubscribeToSystemEvent(h, 204, "Frame"), S_OK);
  Seen seen;
  EXPECT_EQ(lf_dispatchFor(h, seen, 5, SIMCONNECT_RECV_ID_EVENT_FRAME), S_OK);
  p.signal(SIGKILL);
  EXPECT_EQ(p.wait(), -SIGKILL);
  const HRESULT hr = lf_dispatchFor(h, seen, 5);
  EXPECT_LT(hr, 0);
  EXPECT_EQ(SimConnect_AIRemoveObject(h, 200, 105), hr) << "the stored error, nothing sent";
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

#else
TEST(StandinProcess, NeedsTheProgram) { GTEST_SKIP() << "p3d-standin was not built"; }
#endif

}  // namespace
