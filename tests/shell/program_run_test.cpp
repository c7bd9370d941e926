// The installed program started as a new user starts it, in the made-up world of the demo: the
// registry store with the v5 install path and the SimConnect ports, AppData with RealTraffic's
// jar, the local download server, p3d-standin with the user parked at KLAX and rt-standin
// replaying the first minutes of the KLAX recording. The run's main loop must be seen working
// from outside: the user position going to RealTraffic about once a second, AI objects created
// in the simulator, the window saved on SIGUSR1, and SIGTERM closing it at once.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <png.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <thread>

#include "platform/files_test_support.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::uint16_t lf_freePort(int type, int family = AF_INET) {
  const int s = ::socket(family, type, 0);
  sockaddr_storage address{};
  socklen_t length = 0;
  if (family == AF_INET6) {
    auto* a6 = reinterpret_cast<sockaddr_in6*>(&address);
    a6->sin6_family = AF_INET6;
    a6->sin6_addr = in6addr_loopback;
    length = sizeof(sockaddr_in6);
  } else {
    auto* a4 = reinterpret_cast<sockaddr_in*>(&address);
    a4->sin_family = AF_INET;
    a4->sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    length = sizeof(sockaddr_in);
  }
  ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  const std::uint16_t port = ntohs(family == AF_INET6
                                       ? reinterpret_cast<sockaddr_in6*>(&address)->sin6_port
                                       : reinterpret_cast<sockaddr_in*>(&address)->sin_port);
  ::close(s);
  return port;
}

bool lf_listening(std::uint16_t port) {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  const bool connected = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(s);
  return connected;
}

std::string lf_read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

std::size_t lf_count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

bool lf_waitFor(const std::function<bool()>& done, std::chrono::seconds timeout) {
  for (auto end = std::chrono::steady_clock::now() + timeout; !done();) {
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(50ms);
  }
  return true;
}

// The colour of a pixel of the saved window as 0xRRGGBB; 0 when the file cannot be read.
std::uint32_t lf_pngPixel(const fs::path& file, int x, int y) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return 0;
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> pixels(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return 0;
  if (static_cast<png_uint_32>(x) >= image.width || static_cast<png_uint_32>(y) >= image.height) return 0;
  const unsigned char* p = &pixels[(static_cast<std::size_t>(y) * image.width + x) * 3];
  return static_cast<std::uint32_t>(p[0] << 16 | p[1] << 8 | p[2]);
}

// The processes of one test, killed by their ids at its end.
class Processes {
 public:
  ~Processes() {
    for (auto it = started_.rbegin(); it != started_.rend(); ++it) {
      ::kill(*it, SIGKILL);
      ::waitpid(*it, nullptr, 0);
    }
  }
  pid_t start(std::vector<std::string> args, const fs::path& output, const fs::path& cwd = {}) {
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    if (!cwd.empty()) posix_spawn_file_actions_addchdir_np(&actions, cwd.c_str());
    pid_t pid = -1;
    posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (pid > 0) started_.push_back(pid);
    return pid;
  }
  // The exit status; -1 when the process has not ended in time.
  int wait(pid_t pid, std::chrono::milliseconds timeout) {
    int status = 0;
    for (auto end = std::chrono::steady_clock::now() + timeout; ::waitpid(pid, &status, WNOHANG) == 0;) {
      if (std::chrono::steady_clock::now() > end) return -1;
      std::this_thread::sleep_for(10ms);
    }
    std::erase(started_, pid);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

 private:
  std::vector<pid_t> started_;
};

// The first records of the KLAX recording: a few minutes of traffic.
void lf_cutRecording(const fs::path& to, int lines) {
  std::ifstream in(fs::path(ZENDRIK_SOURCE_DIR) / "tools" / "demo" / "klax.rttfc");
  std::ofstream out(to);
  std::string line;
  for (int n = 0; n < lines && std::getline(in, line); ++n) out << line << '\n';
}

TEST(ProgramRunTest, RunsAgainstTheStandInsAndClosesOnSigterm) {
  const fs::path build(ZENDRIK_BINARY_DIR);
  const fs::path tools = build / "tools";
  for (const char* tool : {"fixtures/demo-world", "p3d-standin/p3d-standin", "rt-standin/rt-standin"}) {
    if (!fs::exists(tools / tool)) GTEST_SKIP() << tool << " is not built";
  }
  if (std::system("python3 -c 'import http.server' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
  platform_test::TempDir root;
  platform_test::EnvGuard env;
  Processes processes;
  const fs::path program = root.path() / "program";
  ASSERT_EQ(std::system((std::string(ZENDRIK_CMAKE_COMMAND) + " --install " + build.string() +
                         " --prefix " + program.string() + " >/dev/null").c_str()), 0);
  const std::uint16_t port4 = lf_freePort(SOCK_STREAM), port6 = lf_freePort(SOCK_STREAM, AF_INET6);
  const std::string layout = (tools / "fixtures" / "demo-world").string() + " --out " +
                             (root.path() / "world").string() + " --program " + program.string() +
                             " --simconnect-ports " + std::to_string(port4) + " " +
                             std::to_string(port6) + " >/dev/null";
  ASSERT_EQ(std::system(layout.c_str()), 0);
  const nlohmann::json world = nlohmann::json::parse(lf_read(root.path() / "world" / "world.json"));
  for (const auto& [name, value] : world["environment"].items()) env.set(name, value.get<std::string>());

  const std::uint16_t httpPort = lf_freePort(SOCK_STREAM), rtPort = lf_freePort(SOCK_STREAM);
  const std::uint16_t weatherPort = lf_freePort(SOCK_DGRAM), trafficPort = lf_freePort(SOCK_DGRAM);
  env.set("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:" + std::to_string(httpPort) + "/");
  env.set("ZENDRIK_RUNTIME_DIR", root.path().string());
  env.set("ZENDRIK_WINDOW_PNG", (root.path() / "window.png").string());
  env.set("ZENDRIK_HEADLESS", "1");
  env.set("ZENDRIK_WEATHER_PORT", std::to_string(weatherPort));
  env.set("ZENDRIK_TRAFFIC_PORT", std::to_string(trafficPort));
  const fs::path appData = fs::path(world["environment"]["APPDATA"].get<std::string>()) / "Zendrik_P3D";
  fs::create_directories(appData);
  std::ofstream(appData / "parameters.xml")
      << "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"PORT_NUMBER\" value=\""
      << rtPort << "\" />\n</parameters>\n";

  processes.start({"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                   world["download_folder"].get<std::string>(), std::to_string(httpPort)},
                  root.path() / "http.log");
  ASSERT_TRUE(lf_waitFor([&] { return lf_listening(httpPort); }, 30s));
  const fs::path standinLog = root.path() / "p3d-standin.log";
  processes.start({(tools / "p3d-standin" / "p3d-standin").string(), "--port", std::to_string(port4),
                   "--port6", std::to_string(port6), "--scenario", world["scenario"].get<std::string>(),
                   "--trace", (root.path() / "trace.jsonl").string(), "--simobjects",
                   world["simobjects"].get<std::string>(), "--frame-hz", "30"},
                  standinLog);
  ASSERT_TRUE(lf_waitFor([&] { return lf_read(standinLog).find("listening") != std::string::npos; }, 30s));

  const pid_t pid = processes.start({(program / "zendrik_p3d").string()}, root.path() / "program.out", program);
  lf_cutRecording(root.path() / "recording.rttfc", 600);
  const fs::path rtLog = root.path() / "rt-standin.log";
  processes.start({(tools / "rt-standin" / "rt-standin").string(), "--server",
                   "127.0.0.1:" + std::to_string(rtPort), "--traffic",
                   (root.path() / "recording.rttfc").string(), "--weather-port",
                   std::to_string(weatherPort), "--traffic-port", std::to_string(trafficPort),
                   "--log", rtLog.string()},
                  root.path() / "rt-standin.out");

  const fs::path log = program / "Log.txt";
  ASSERT_TRUE(lf_waitFor([&] { return lf_read(log).find("RealTraffic connected") != std::string::npos; }, 180s))
      << lf_read(log);
  // The main loop: traffic becomes AI objects, and the position goes out about once a second.
  EXPECT_TRUE(lf_waitFor([&] { return lf_read(root.path() / "trace.jsonl").find("\"created\"") != std::string::npos; }, 120s));
  const std::size_t before = lf_count(lf_read(rtLog), "Qs121=");
  std::this_thread::sleep_for(5s);
  const std::size_t sent = lf_count(lf_read(rtLog), "Qs121=") - before;
  EXPECT_GE(sent, 3u);
  EXPECT_LE(sent, 8u);

  ::kill(pid, SIGUSR1);
  const fs::path png = root.path() / "window.png";
  EXPECT_TRUE(lf_waitFor([&] { return fs::exists(png); }, 10s));
  constexpr std::uint32_t kGreen = 0x32CD32;
  EXPECT_EQ(lf_pngPixel(png, 410, 40), kGreen);  // simulator connected, flight running
  EXPECT_EQ(lf_pngPixel(png, 440, 40), kGreen);  // RealTraffic connected, traffic arriving
  EXPECT_EQ(processes.wait(processes.start({(program / "zendrik_p3d").string()},
                                           root.path() / "second.out", program), 5000ms), 255);

  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes.wait(pid, 2000ms), 0);
  const std::string text = lf_read(log);
  EXPECT_NE(text.find("Exiting: NOT YET SET"), std::string::npos);
  EXPECT_NE(lf_read(rtLog).find("exit"), std::string::npos);
}

}  // namespace
