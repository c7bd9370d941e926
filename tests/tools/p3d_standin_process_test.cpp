// The p3d-standin program as a person runs it: command line, scenario file, trace file, Quit
// on termination, and a killed stand-in seen by the client library as a transport error.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <thread>

#include <nlohmann/json.hpp>

#include "simlink/simconnect_test_helpers.h"

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

using simtest::Received;

bool lf_has(const std::vector<Received>& all, std::uint32_t id) {
  return std::any_of(all.begin(), all.end(), [id](const Received& r) { return r.id == id; });
}

// Points the client at the stand-in's port, opens and subscribes to the Frame event.
HANDLE lf_openWithFrames(const simtest::SimConnectEnvironment& env, int port) {
  env.writeCfg(env.currentFolder(), simtest::gf_ipv4Cfg(port));
  HANDLE h = simtest::gf_openClient();
  if (h != nullptr) {
    EXPECT_EQ(SimConnect_SubscribeToSystemEvent(h, 204, "Frame"), S_OK);
  }
  return h;
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
  simtest::SimConnectEnvironment env;
  const fs::path dir = env.root();
  std::ofstream(dir / "scenario.json") << R"({"simulator": "v6", "sim_running": true})";
  StandinProcess p({"--port", "0", "--frame-hz", "50", "--scenario",
                    (dir / "scenario.json").string(), "--trace", (dir / "trace.jsonl").string()});
  const int port = p.port();
  ASSERT_GT(port, 0);
  {
    HANDLE h = lf_openWithFrames(env, port);
    ASSERT_NE(h, nullptr);
    SIMCONNECT_DATA_INITPOSITION pos{52.31, 4.76, 0, 0, 0, 90, 1, 0};
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(h, "Fokker 70", "PH-KZA", pos, 104), S_OK);
    ASSERT_EQ(SimConnect_AICreateNonATCAircraft(h, "Fokker 70", "PH-KZB", pos, 105), S_OK);
    std::vector<Received> seen;
    HRESULT hr = S_OK;
    EXPECT_TRUE(simtest::gf_dispatchUntil(
        h, seen, [](const auto& all) { return lf_has(all, SIMCONNECT_RECV_ID_ASSIGNED_OBJECT_ID); },
        5, &hr));
    ASSERT_EQ(SimConnect_AIRemoveObject(h, 101, 106), S_OK);
    simtest::gf_dispatchUntil(h, seen, [](const auto&) { return false; }, 0.2, &hr);
    EXPECT_EQ(hr, S_OK);
    p.signal(SIGTERM);
    EXPECT_TRUE(simtest::gf_dispatchUntil(
        h, seen, [](const auto& all) { return lf_has(all, SIMCONNECT_RECV_ID_QUIT); }, 5));
    EXPECT_TRUE(lf_has(seen, SIMCONNECT_RECV_ID_EVENT_FRAME));
    SimConnect_Close(h);
  }
  EXPECT_EQ(p.wait(), 0);
  std::ifstream in(dir / "trace.jsonl");
  int requests = 0, framesWithObject = 0;
  std::vector<std::string> lives;  // created and removed lines
  for (std::string line; std::getline(in, line);) {
    const auto j = nlohmann::json::parse(line);
    ASSERT_TRUE(j.contains("t"));
    if (j["kind"] == "created" || j["kind"] == "removed") {
      const std::string what = j.value("tail_number", j.value("reason", ""));
      lives.push_back(fmt::format("{} {} {}", j["kind"].get<std::string>(), j["id"].get<int>(), what));
    }
    if (j["kind"] == "request") {
      ++requests;
      if (j["type"] == "AICreateNonATCAircraft") {
        EXPECT_EQ(j["title"], "Fokker 70");
      }
    }
    if (j["kind"] == "frame" && j["objects"].size() == 1) {
      EXPECT_EQ(j["objects"][0]["title"], "Fokker 70");
      ++framesWithObject;
    }
  }
  EXPECT_EQ(requests, 5);
  EXPECT_GT(framesWithObject, 3);
  // The object still there when the client closed goes with it, in the trace too.
  EXPECT_EQ(lives, (std::vector<std::string>{"created 101 PH-KZA", "created 102 PH-KZB",
                                              "removed 101 request", "removed 102 client closed"}));
}

TEST(StandinProcess, AKilledStandinIsATransportErrorForTheClient) {
  simtest::SimConnectEnvironment env;
  StandinProcess p({"--port", "0", "--frame-hz", "100"});
  const int port = p.port();
  ASSERT_GT(port, 0);
  HANDLE h = lf_openWithFrames(env, port);
  ASSERT_NE(h, nullptr);
  std::vector<Received> seen;
  EXPECT_TRUE(simtest::gf_dispatchUntil(
      h, seen, [](const auto& all) { return lf_has(all, SIMCONNECT_RECV_ID_EVENT_FRAME); }, 5));
  p.signal(SIGKILL);
  EXPECT_EQ(p.wait(), -SIGKILL);
  HRESULT hr = S_OK;
  EXPECT_TRUE(simtest::gf_dispatchUntil(h, seen, [&](const auto&) { return hr < 0; }, 5, &hr));
  EXPECT_EQ(static_cast<std::uint32_t>(hr) & 0xFFFF0000u, 0x80070000u);
  EXPECT_EQ(SimConnect_AIRemoveObject(h, 200, 105), hr) << "the stored error, nothing sent";
  EXPECT_EQ(SimConnect_Close(h), S_OK);
}

#else
TEST(StandinProcess, NeedsTheProgram) { GTEST_SKIP() << "p3d-standin was not built"; }
#endif

}  // namespace
