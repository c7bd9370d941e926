// The installed program started as a new user starts it, in the made-up world of the demo: the
// registry store with the v5 install path and the SimConnect ports, AppData with RealTraffic's
// jar, the local download server, p3d-standin with the user parked at KLAX and rt-standin
// replaying the first minutes of the KLAX recording. The run's main loop must be seen working
// from outside: the user position going to RealTraffic again and again, AI objects created in
// the simulator, the window saved on SIGUSR1, and SIGTERM closing it, also while the simulator is
// frozen or the airports scan runs; a burst of traffic must cost neither memory nor the next
// aircraft's delay. Every wait is for an event, with bounds meant for a loaded machine.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fmt/format.h>
#include <png.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <fstream>
#include <iostream>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "fixtures/bgl_builder.h"
#include "platform/files_test_support.h"
#include "platform/render_text.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// A port that was free a moment ago. Only for the program's own ports, which it takes from its
// settings and environment with no way to be handed a socket: a start that finds one taken again
// is retried with new ports.
std::uint16_t lf_freePort(int type) {
  const int s = ::socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  ::bind(s, reinterpret_cast<sockaddr*>(&address), length);
  ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(s);
  return ntohs(address.sin_port);
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

constexpr int kStartAttempts = 5;
// How long a process may take to end on a loaded machine before it counts as hanging.
constexpr auto kEnds = std::chrono::milliseconds(60s);

// The number that follows the marker in a process's output, once it is there; -1 when it does
// not come.
int lf_portAfter(const fs::path& output, const std::string& marker) {
  int port = -1;
  lf_waitFor(
      [&] {
        const std::string text = lf_read(output);
        const auto at = text.find(marker);
        if (at == std::string::npos) return false;
        const auto from = at + marker.size(), to = text.find_first_not_of("0123456789", from);
        if (to == std::string::npos || to == from) return false;  // not written whole yet
        port = std::stoi(text.substr(from, to - from));
        return true;
      },
      60s);
  return port;
}

// The registry store's SimConnect ports, which the demo world wrote before the simulator
// stand-in had its own.
void lf_setSimConnectPorts(const fs::path& registry, int port4, int port6) {
  std::string text = lf_read(registry);
  for (const auto& [name, port] :
       {std::pair{"\"SimConnect_Port_IPv4\"=\"", port4}, {"\"SimConnect_Port_IPv6\"=\"", port6}}) {
    const auto from = text.find(name) + std::strlen(name);
    text.replace(from, text.find('"', from) - from, std::to_string(port));
  }
  std::ofstream(registry, std::ios::binary | std::ios::trunc) << text;
}

// The process is stopped (by SIGSTOP): its state in /proc is 'T'.
bool lf_processStopped(pid_t pid) {
  const std::string stat = lf_read(fs::path("/proc") / std::to_string(pid) / "stat");
  const auto name = stat.rfind(')');  // the name may hold blanks and parentheses
  return name != std::string::npos && stat.size() > name + 2 && stat[name + 2] == 'T';
}

// The saved window as 0xRRGGBB pixels, row by row; empty when the file cannot be read.
struct Png {
  int width = 0, height = 0;
  std::vector<std::uint32_t> pixels;
  std::uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    return pixels[static_cast<std::size_t>(y) * width + x];
  }
};

Png lf_readPng(const fs::path& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, file.c_str())) return {};
  image.format = PNG_FORMAT_RGB;
  std::vector<unsigned char> rgb(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
  Png png{static_cast<int>(image.width), static_cast<int>(image.height), {}};
  for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
    png.pixels.push_back(static_cast<std::uint32_t>(rgb[i] << 16 | rgb[i + 1] << 8 | rgb[i + 2]));
  return png;
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
  void kill(pid_t pid) {
    ::kill(pid, SIGKILL);
    wait(pid, 60s);
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

// Every file below a folder with its bytes, by its path inside the folder.
using Files = std::map<std::string, std::string>;
Files lf_filesBelow(const fs::path& folder) {
  Files files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file())
      files[fs::relative(entry.path(), folder).generic_string()] = lf_read(entry.path());
  }
  return files;
}

// The files of `before` that are gone or changed in `after`, and how many are new; "" when none.
std::string lf_changedFiles(const Files& before, const Files& after) {
  std::string changed;
  for (const auto& [name, bytes] : before) {
    const auto now = after.find(name);
    if (now == after.end()) {
      changed += "gone: " + name + "\n";
    } else if (now->second != bytes) {
      changed += "changed: " + name + "\n";
    }
  }
  const auto added =
      std::ranges::count_if(after, [&](const auto& file) { return !before.contains(file.first); });
  if (added > 0) changed += std::to_string(added) + " new files\n";
  return changed;
}

// Add-on airports beside KLAX, each in a BGL file of its own: so many that an airports scan
// over them runs for seconds.
constexpr int kManyAirports = 16000;

void lf_writeManyAirports(const fs::path& scenery) {
  constexpr int kLetters = 26, kPerFolder = 500, kStands = 20;
  for (int k = 0; k < kManyAirports; ++k) {
    const std::string icao{'Z', static_cast<char>('A' + k / (kLetters * kLetters) % kLetters),
                           static_cast<char>('A' + k / kLetters % kLetters),
                           static_cast<char>('A' + k % kLetters)};
    const fs::path file =
        scenery / "More Airports" / ("Part " + std::to_string(k / kPerFolder)) / (icao + ".bgl");
    fixtures::bglWriteFile(file, fixtures::bglFileBytes(fixtures::bglSimpleAirportFile(
                                     icao, true, kStands, 34.0 + k * 0.0001, -117.0)));
  }
}

// Field `index` of a comma-separated record.
std::string lf_field(const std::string& record, int index) {
  std::size_t from = 0;
  for (int k = 0; k < index; ++k) from = record.find(',', from) + 1;
  return record.substr(from, record.find(',', from) - from);
}

// The burst's made-up aircraft fly 5 nm east of KLAX, within the radius the program takes
// traffic from, with a type that neither the aircraft database nor a livery knows: the traffic
// reader takes their reports into the live-traffic buffer, and the engine drops them there.
constexpr int kBurstReports = 100000;
constexpr int kBurstAircraft = 1000;
constexpr int kFirstMadeUpKey = 20000000;

std::string lf_madeUpReport(int aircraft, double stamp) {
  return fmt::format(
      "RTTFC,{},33.96,-118.30,3000,0,1,250.0,150.0,BRS{},ZZ01,null,SYD,LAX,{:.2f},X,BR{},"
      "adsb_icao,3000,144,150,0.232,0.0,0.0,240.0,250.0,0,none,A3,1013.6,3000,-1,250.0,"
      "autopilot,1.5,-20.0,250,8,9,12,1,2850,1,BRS",
      kFirstMadeUpKey + aircraft, aircraft, stamp, aircraft);
}

// A recording that opens with the burst, its reports stamped alike so that rt-standin sends them
// back to back, and goes on with the first reports of QFA11, an arrival with a livery, the first
// of them five seconds after the burst began.
void lf_writeBurstRecording(const fs::path& to) {
  constexpr std::size_t kQantasReports = 8;
  constexpr int kStampField = 14;
  constexpr double kBurstLeadS = 5.0;
  std::ifstream in(fs::path(ZENDRIK_SOURCE_DIR) / "tools" / "demo" / "klax.rttfc");
  std::vector<std::string> qantas;
  for (std::string line; qantas.size() < kQantasReports && std::getline(in, line);) {
    if (line.find(",QFA11,") != std::string::npos) qantas.push_back(line);
  }
  const double burstStamp = std::stod(lf_field(qantas.front(), kStampField)) - kBurstLeadS;
  std::ofstream out(to);
  for (int k = 0; k < kBurstReports; ++k)
    out << lf_madeUpReport(k % kBurstAircraft, burstStamp) << '\n';
  for (const std::string& line : qantas) out << line << '\n';
}

// A process's resident size in kB (VmRSS in /proc); -1 when it cannot be read.
long lf_residentKb(pid_t pid) {
  const std::string status = lf_read(fs::path("/proc") / std::to_string(pid) / "status");
  const auto at = status.find("VmRSS:");
  return at == std::string::npos ? -1 : std::stol(status.substr(at + std::strlen("VmRSS:")));
}

// A text the PNG shows at (x, y) in the lamps band (black), drawn the same way again by the
// window layer's text renderer: its cell in the PNG must hold the same pixels.
bool lf_pngShowsText(const Png& png, int x, int y, std::u16string_view text, std::uint32_t pixel) {
  const int width = platform::gf_textWidth(text), height = platform::gf_fontMetrics().height;
  platform::Framebuffer expected{x + width, y + height, {}};
  expected.pixels.assign(static_cast<std::size_t>(expected.width) * expected.height, 0);
  const RECT all{0, 0, expected.width, expected.height};
  platform::gf_drawText(expected, x, y, text, pixel, all);
  int differing = 0;
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) {
      const std::uint32_t want = expected.pixels[static_cast<std::size_t>(row) * expected.width + column];
      if (png.at(column, row) != want) ++differing;
    }
  }
  return differing == 0;
}

// The demo's world with the program installed in it, the local download server, both stand-ins
// and the program, each on ports of its own.
class ProgramRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"fixtures/demo-world", "p3d-standin/p3d-standin", "rt-standin/rt-standin"}) {
      if (!fs::exists(tools_ / tool)) GTEST_SKIP() << tool << " is not built";
    }
    if (std::system("python3 -c 'import http.server' 2>/dev/null") != 0) GTEST_SKIP() << "no python3";
    ASSERT_EQ(std::system((std::string(ZENDRIK_CMAKE_COMMAND) + " --install " + ZENDRIK_BINARY_DIR +
                           " --prefix " + program_.string() + " >/dev/null").c_str()), 0);
    // The SimConnect ports are those the simulator stand-in picks (startAll).
    const std::string layout = (tools_ / "fixtures" / "demo-world").string() + " --out " +
                               (root_.path() / "world").string() + " --program " +
                               program_.string() + " --simconnect-ports 1 1 >/dev/null";
    ASSERT_EQ(std::system(layout.c_str()), 0);
    world_ = nlohmann::json::parse(lf_read(root_.path() / "world" / "world.json"));
    for (const auto& [name, value] : world_["environment"].items())
      env_.set(name, value.get<std::string>());
    env_.set("ZENDRIK_RUNTIME_DIR", root_.path().string());
    env_.set("ZENDRIK_WINDOW_PNG", png().string());
    env_.set("ZENDRIK_HEADLESS", "1");
    const fs::path appData = fs::path(world_["environment"]["APPDATA"].get<std::string>()) / "Zendrik_P3D";
    fs::create_directories(appData);
    settings_ = appData / "parameters.xml";
    std::ofstream(settings_)
        << "<?xml version=\"1.0\"?>\n<parameters>\n\t<parameter name=\"PORT_NUMBER\" "
           "value=\"0\" />\n</parameters>\n";
  }

  // The download server and the simulator stand-in on ports they pick themselves, then the
  // program with rt-standin replaying the first minutes of the KLAX recording. Returns the
  // program's process id, or -1 when it could not be started.
  pid_t startAll() {
    processes_.start({"python3", "-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                      world_["download_folder"].get<std::string>(), "0"},
                     httpLog());
    const int httpPort = lf_portAfter(httpLog(), "Serving HTTP on 127.0.0.1 port ");
    standin_ = processes_.start(
        {(tools_ / "p3d-standin" / "p3d-standin").string(), "--port", "0", "--port6", "0",
         "--scenario", world_["scenario"].get<std::string>(), "--trace", trace().string(),
         "--simobjects", world_["simobjects"].get<std::string>(), "--frame-hz", "30"},
        standinLog());
    const int port4 = lf_portAfter(standinLog(), "p3d-standin listening: port ");
    const int port6 = lf_portAfter(standinLog(), " port6 ");
    if (httpPort <= 0 || port4 <= 0 || port6 <= 0) {
      ADD_FAILURE() << "no port from the download server or the simulator stand-in";
      return -1;
    }
    env_.set("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:" + std::to_string(httpPort) + "/");
    lf_setSimConnectPorts(world_["environment"]["ZENDRIK_REGISTRY"].get<std::string>(), port4,
                          port6);
    lf_cutRecording(root_.path() / "recording.rttfc", 600);
    for (int attempt = 1; attempt <= kStartAttempts; ++attempt) {
      if (const pid_t pid = startProgram(); pid > 0) return pid;
    }
    ADD_FAILURE() << "the program's ports were taken at every start:\n" << lf_read(log());
    return -1;
  }

  // The program and rt-standin on ports that were free a moment ago; -1 (both stopped) when one
  // of the program's ports was taken meanwhile.
  pid_t startProgram() {
    const std::string rtPort = std::to_string(lf_freePort(SOCK_STREAM));
    const std::string weatherPort = std::to_string(lf_freePort(SOCK_DGRAM));
    const std::string trafficPort = std::to_string(lf_freePort(SOCK_DGRAM));
    setSetting("PORT_NUMBER", rtPort);
    env_.set("ZENDRIK_WEATHER_PORT", weatherPort);
    env_.set("ZENDRIK_TRAFFIC_PORT", trafficPort);
    const pid_t pid = startProgramAlone();
    std::vector<std::string> rtArgs{
        (tools_ / "rt-standin" / "rt-standin").string(), "--server", "127.0.0.1:" + rtPort,
        "--traffic", recording_.string(), "--weather-port", weatherPort, "--traffic-port",
        trafficPort, "--log", rtLog().string()};
    if (holdReplay_) rtArgs.push_back("--hold");
    const pid_t rt = rtStandin_ = processes_.start(rtArgs, root_.path() / "rt-standin.out");
    const auto clash = [&] {
      const std::string text = lf_read(log());
      return text.find("Bind failed at port") != std::string::npos ||
             text.find("bind to stream socket failed") != std::string::npos;
    };
    EXPECT_TRUE(lf_waitFor(
        [&] { return clash() || lf_count(lf_read(log()), "Reader connected") == 2; }, 240s))
        << lf_read(log());
    if (!clash()) return pid;
    processes_.kill(rt);
    processes_.kill(pid);
    return -1;
  }

  // The program on its own, with a fresh Log.txt.
  pid_t startProgramAlone() {
    fs::remove(log());
    return processes_.start({(program_ / "zendrik_p3d").string()}, root_.path() / "program.out",
                            program_);
  }

  // Sets a saved setting's value in parameters.xml.
  void setSetting(const std::string& name, const std::string& value) {
    std::string text = lf_read(settings_);
    const std::string key = "name=\"" + name + "\" value=\"";
    ASSERT_NE(text.find(key), std::string::npos);
    const auto from = text.find(key) + key.size();
    text.replace(from, text.find('"', from) - from, value);
    std::ofstream(settings_, std::ios::binary | std::ios::trunc) << text;
  }

  // The value of a saved setting ("" when it is not saved).
  std::string setting(const std::string& name) const {
    const std::string text = lf_read(settings_);
    const std::string key = "name=\"" + name + "\" value=\"";
    const auto at = text.find(key);
    if (at == std::string::npos) return {};
    const auto from = at + key.size();
    return text.substr(from, text.find('"', from) - from);
  }

  fs::path png() const { return root_.path() / "window.png"; }
  fs::path httpLog() const { return root_.path() / "http.log"; }
  fs::path standinLog() const { return root_.path() / "p3d-standin.log"; }
  fs::path rtLog() const { return root_.path() / "rt-standin.log"; }
  fs::path trace() const { return root_.path() / "trace.jsonl"; }
  fs::path log() const { return program_ / "Log.txt"; }

  const fs::path tools_ = fs::path(ZENDRIK_BINARY_DIR) / "tools";
  platform_test::TempDir root_;
  platform_test::EnvGuard env_;
  Processes processes_;
  const fs::path program_ = root_.path() / "program";
  nlohmann::json world_;
  fs::path settings_;
  pid_t standin_ = -1;  // the simulator stand-in
  pid_t rtStandin_ = -1;
  // What rt-standin replays, and whether the replay waits for SIGUSR1.
  fs::path recording_ = root_.path() / "recording.rttfc";
  bool holdReplay_ = false;
};

TEST_F(ProgramRunTest, RunsAgainstTheStandInsAndClosesOnSigterm) {
  const pid_t pid = startAll();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(lf_waitFor([&] { return lf_read(log()).find("RealTraffic connected") != std::string::npos; }, 180s))
      << lf_read(log());
  // The main loop: traffic becomes AI objects, and the position goes out again and again.
  EXPECT_TRUE(lf_waitFor([&] { return lf_read(trace()).find("\"created\"") != std::string::npos; }, 120s));
  // Auto range knows the user is parked before the first traffic is filtered: the very first
  // range request already asks for the ground radius of 10 nm.
  const std::string traced = lf_read(trace());
  const auto radius = traced.find("\"radius_m\":");
  ASSERT_NE(radius, std::string::npos);
  EXPECT_EQ(std::stoul(traced.substr(radius + 11)), 10u * 1852u);
  const std::size_t before = lf_count(lf_read(rtLog()), "Qs121=");
  EXPECT_TRUE(lf_waitFor([&] { return lf_count(lf_read(rtLog()), "Qs121=") >= before + 3; }, 60s));

  ::kill(pid, SIGUSR1);
  EXPECT_TRUE(lf_waitFor([&] { return fs::exists(png()); }, 10s));
  constexpr std::uint32_t kGreen = 0x32CD32;
  const Png window = lf_readPng(png());
  EXPECT_EQ(window.at(410, 40), kGreen);  // simulator connected, flight running
  EXPECT_EQ(window.at(440, 40), kGreen);  // RealTraffic connected, traffic arriving
  if (platform::gf_fontAvailable()) {
    EXPECT_TRUE(lf_pngShowsText(window, 642, 63, u"qnh:", kGreen));   // weather arriving
    EXPECT_TRUE(lf_pngShowsText(window, 642, 91, u"live:", kGreen));  // live aircraft counted
    EXPECT_FALSE(lf_pngShowsText(window, 642, 91, u"qnh:", kGreen));  // the probe tells texts apart
  } else {
    std::cout << "[ INFO ] no font for the window's texts: qnh: and live: not probed\n";
  }
  EXPECT_EQ(processes_.wait(processes_.start({(program_ / "zendrik_p3d").string()},
                                             root_.path() / "second.out", program_),
                            kEnds),
            255);

  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes_.wait(pid, kEnds), 0);
  EXPECT_NE(lf_read(log()).find("Exiting: NOT YET SET"), std::string::npos);
  EXPECT_NE(lf_read(rtLog()).find("received exit"), std::string::npos);
}

// A simulator that stops (its process frozen, its socket open) sends no more reports: the ticks
// go on without them, and a close still ends the program.
TEST_F(ProgramRunTest, AFrozenSimulatorDoesNotHoldOffTheClose) {
  const pid_t pid = startAll();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(
      lf_waitFor([&] { return lf_read(trace()).find("\"created\"") != std::string::npos; }, 240s))
      << lf_read(log());
  ::kill(standin_, SIGSTOP);
  ASSERT_TRUE(lf_waitFor([&] { return lf_processStopped(standin_); }, 60s));
  // Ticks without reports: their engine steps still send the user position now and then.
  const std::size_t before = lf_count(lf_read(rtLog()), "Qs121=");
  ASSERT_TRUE(lf_waitFor([&] { return lf_count(lf_read(rtLog()), "Qs121=") >= before + 2; }, 60s));

  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes_.wait(pid, kEnds), 0);
  EXPECT_NE(lf_read(log()).find("Exiting: NOT YET SET"), std::string::npos);
}

// The aircraft.cfg holding a registration's livery, below the world's folder.
fs::path lf_registrationLiveryFile(const fs::path& world, const std::string& registration) {
  for (const auto& entry : fs::recursive_directory_iterator(world)) {
    if (entry.path().filename() == "aircraft.cfg" &&
        lf_read(entry.path()).find("atc_id=" + registration + "\r") != std::string::npos) {
      return entry.path();
    }
  }
  return {};
}

// An aircraft whose livery the simulator link cannot even ask for (a title of 300 characters
// fills the creation request's 256 bytes): the creation is refused as the simulator would refuse
// it, its title barred, and the run goes on creating the other aircraft.
TEST_F(ProgramRunTest, ACreationTooLongToAskForIsRefusedAndTheRunGoesOn) {
  // QFA11 (VH-OQA) is among the first arrivals of the recording; its registration's livery is
  // the first the matching tries.
  const fs::path cfg = lf_registrationLiveryFile(root_.path() / "world", "VH-OQA");
  ASSERT_FALSE(cfg.empty());
  std::string text = lf_read(cfg);
  const std::string title = "title=AI A388 Qantas VH-OQA";
  const auto at = text.find(title + "\r");
  ASSERT_NE(at, std::string::npos);
  text.replace(at, title.size(), "title=" + std::string(300, 'Q'));
  std::ofstream(cfg, std::ios::binary) << text;

  const pid_t pid = startAll();
  ASSERT_GT(pid, 0);
  const auto refused = [&] { return lf_read(log()).find("could not be created by your Sim!"); };
  ASSERT_TRUE(lf_waitFor([&] { return refused() != std::string::npos; }, 240s)) << lf_read(log());
  EXPECT_NE(lf_read(log()).find("callsign: QFA11"), std::string::npos);
  const std::size_t created = lf_count(lf_read(trace()), "\"created\"");
  EXPECT_TRUE(lf_waitFor([&] { return lf_count(lf_read(trace()), "\"created\"") > created; }, 120s))
      << "no aircraft created after the refusal";
  EXPECT_EQ(lf_read(log()).find("Exiting:"), std::string::npos) << lf_read(log());

  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes_.wait(pid, kEnds), 0);
}

// A user aircraft whose aircraft.cfg names no ATC model: the link closes, the worker's next
// request fails and the run ends with SIMCONNECT ERROR, counts down with both scans switched off,
// and the next run starts without downloading again and with both stand-ins connected anew.
TEST_F(ProgramRunTest, ASimConnectErrorRestartsTheRun) {
  const fs::path scenarioFile = world_["scenario"].get<std::string>();
  nlohmann::json scenario = nlohmann::json::parse(lf_read(scenarioFile));
  scenario["user"]["atc_model"] = "";
  std::ofstream(scenarioFile, std::ios::trunc) << scenario.dump(2);

  const pid_t pid = startAll();
  ASSERT_GT(pid, 0);
  ASSERT_TRUE(lf_waitFor([&] { return lf_read(log()).find("Exiting: SIMCONNECT ERROR") != std::string::npos; }, 240s))
      << lf_read(log());
  const std::string downloads = lf_read(httpLog());
  EXPECT_NE(downloads.find("GET "), std::string::npos) << "the first start downloads";
  const std::size_t opened = lf_count(lf_read(standinLog()), "opened as");

  EXPECT_TRUE(lf_waitFor([&] { return setting("SCAN_LIVERIES") == "false" && setting("SCAN_AIRPORTS") == "false"; }, 30s));
  EXPECT_TRUE(lf_waitFor([&] { return lf_read(log()).find("Restarting after 9 seconds") != std::string::npos; }, 30s));
  EXPECT_TRUE(lf_waitFor([&] { return lf_count(lf_read(log()), "RealTraffic connected") >= 2; }, 120s))
      << lf_read(log());
  EXPECT_GT(lf_count(lf_read(standinLog()), "opened as"), opened);
  EXPECT_NE(lf_read(rtLog()).find("run ended, connecting for the next run"), std::string::npos);
  EXPECT_EQ(lf_count(lf_read(httpLog()), "GET "), lf_count(downloads, "GET ")) << lf_read(httpLog());

  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes_.wait(pid, kEnds), 0);
}

// A close while the airports scan runs cuts the scan short: the stand files of the scan before
// stay as they were, and SCAN_AIRPORTS stays on so that the next start scans again.
TEST_F(ProgramRunTest, ACloseDuringTheAirportsScanKeepsTheStandFiles) {
  const pid_t first = startAll();  // scans KLAX's add-on scenery
  ASSERT_GT(first, 0);
  ::kill(first, SIGTERM);
  ASSERT_EQ(processes_.wait(first, kEnds), 0);
  const Files earlier = lf_filesBelow(program_ / "airports");
  ASSERT_TRUE(earlier.contains("my_thirdparty/KLAX.xml"));

  const fs::path driveD = world_["environment"]["ZENDRIK_DRIVE_D"].get<std::string>();
  lf_writeManyAirports(driveD / "Addons" / "Runway Crafters KLAX" / "Scenery");
  setSetting("SCAN_AIRPORTS", "true");
  const pid_t second = startProgramAlone();
  ASSERT_TRUE(lf_waitFor(
      [&] { return lf_read(log()).find("airports scan automatic") != std::string::npos; }, 120s))
      << lf_read(log());
  std::this_thread::sleep_for(500ms);
  ::kill(second, SIGTERM);
  EXPECT_EQ(processes_.wait(second, kEnds), 0);
  EXPECT_EQ(lf_changedFiles(earlier, lf_filesBelow(program_ / "airports")), "");
  EXPECT_NE(lf_read(log()).find("===> airports scan cut short: the stand files of the previous "
                                "scan are kept, the scan runs again at the next start"),
            std::string::npos)
      << lf_read(log());
  EXPECT_EQ(setting("SCAN_AIRPORTS"), "true");
}

// The live stand files (my_ORBX, my_thirdparty) with their bytes, by their paths below airports.
Files lf_standFiles(const fs::path& airports) {
  Files files;
  for (const std::string folder : {"my_ORBX", "my_thirdparty"}) {
    for (auto& [name, bytes] : lf_filesBelow(airports / folder)) files[folder + "/" + name] = bytes;
  }
  return files;
}

// A scan that passes places over (a folder the walk cannot enter, a BGL file it cannot open, one
// that is a link to itself, a listed folder inside one it cannot enter) keeps the stand files of
// the airports behind them byte for byte, also when the link is all it passes over, and in
// my_thirdparty also when my_ORBX has a new file of the airport; it drops the file of an airport
// whose BGL file is gone from a folder it entered, and gives the others their new ones. A kill
// after any move of the swap that puts a scan's stand files in place: the next start finds them
// whole, the previous ones byte for byte or the new set, and its scan is not refused (it reaches
// the swap).
TEST_F(ProgramRunTest, AKillDuringTheStandFilesSwapLosesNoStandFile) {
  processes_.start({"python3", "-u", "-m", "http.server", "--bind", "127.0.0.1", "--directory",
                    world_["download_folder"].get<std::string>(), "0"},
                   httpLog());
  const int httpPort = lf_portAfter(httpLog(), "Serving HTTP on 127.0.0.1 port ");
  ASSERT_GT(httpPort, 0);
  env_.set("ZENDRIK_DOWNLOAD_URL", fmt::format("http://127.0.0.1:{}/", httpPort));
  env_.set("ZENDRIK_WEATHER_PORT", std::to_string(lf_freePort(SOCK_DGRAM)));
  env_.set("ZENDRIK_TRAFFIC_PORT", std::to_string(lf_freePort(SOCK_DGRAM)));
  setSetting("PORT_NUMBER", std::to_string(lf_freePort(SOCK_STREAM)));
  // Two packs beside KLAX's scenery; in the scans that pass over, the walk may not enter the one
  // it meets first (an ORBX folder has the same airport), the other gains a stand, ZZPC.bgl
  // (changed) may not be opened, ZZPD.bgl is gone and the folder above Inner may not be entered.
  const fs::path driveD = world_["environment"]["ZENDRIK_DRIVE_D"].get<std::string>();
  const auto writePack = [&](const fs::path& folder, const std::string& icao, int stands) {
    fixtures::bglWriteFile(
        driveD / folder / (icao + ".bgl"),
        fixtures::bglFileBytes(fixtures::bglSimpleAirportFile(icao, true, stands, 34.1, -118.1)));
  };
  writePack("Packs/ZZPA", "ZZPA", 3);
  writePack("Packs/ZZPB", "ZZPB", 3);
  writePack("Shut/Inner", "ZZPS", 3);
  const std::string locked = fs::directory_iterator(driveD / "Packs")->path().filename().string();
  const std::string other = locked == "ZZPA" ? "ZZPB" : "ZZPA";
  writePack("ORBX", locked, 3);
  const fs::path addOns = fs::path(world_["environment"]["ZENDRIK_DRIVE_C"].get<std::string>()) /
                          "ProgramData/Lockheed Martin/Prepar3D v5/scenery_add-ons.xml";
  std::ofstream(addOns, std::ios::trunc)
      << "<Path>D:\\Addons\\Runway Crafters KLAX\\Scenery</Path>\n<Path>D:\\Packs</Path>\n"
      << "<Path>D:\\ORBX</Path>\n<Path>D:\\More</Path>\n<Path>D:\\Shut\\Inner</Path>\n";
  const auto prepare = [&](bool passOver, bool loop = false) {
    writePack("Packs/" + other, other, passOver ? 4 : 3);
    writePack("More", "ZZPC", passOver ? 4 : 3);
    writePack("More", "ZZPD", 3);
    fs::remove(driveD / "More/ZZPE.bgl");
    if (passOver || loop) {
      fs::create_symlink("ZZPE.bgl", driveD / "More/ZZPE.bgl");
    } else {
      writePack("More", "ZZPE", 3);
    }
    if (passOver) {
      fs::remove(driveD / "More/ZZPD.bgl");
      env_.set("ZENDRIK_SCAN_NO_ENTRY", locked + "|ZZPC.bgl|Shut");
    } else {
      env_.unset("ZENDRIK_SCAN_NO_ENTRY");
    }
  };
  const auto scanWhole = [&](bool passOver, bool loop = false) {
    prepare(passOver, loop);
    const pid_t pid = startProgramAlone();
    EXPECT_TRUE(lf_waitFor(
        [&] { return lf_read(log()).find("airports scan ends") != std::string::npos; }, 120s))
        << lf_read(log());
    ::kill(pid, SIGTERM);
    EXPECT_EQ(processes_.wait(pid, kEnds), 0);
    setSetting("SCAN_AIRPORTS", "true");  // switched off by the scan
    return lf_standFiles(program_ / "airports");
  };
  // The exit status of a start with the swap's seam at `moves`: 137 when it ended there.
  const auto startEndingAfterMove = [&](int moves) {
    env_.set("ZENDRIK_SWAP_END_AFTER", std::to_string(moves));
    const pid_t pid = startProgramAlone();
    const int status = processes_.wait(pid, kEnds);
    if (status < 0) processes_.kill(pid);
    env_.unset("ZENDRIK_SWAP_END_AFTER");
    return status;
  };
  const Files entered = scanWhole(false);
  EXPECT_EQ(lf_changedFiles(entered, scanWhole(false, true)), "");
  EXPECT_NE(lf_read(log()).find("Airports scan partial: 1 file passed over, the first " +
                                (driveD / "More/ZZPE.bgl").string() +
                                ": Too many levels of symbolic links"),
            std::string::npos)
      << lf_read(log());
  const Files passedOver = scanWhole(true);
  const std::string otherFile = "my_thirdparty/" + other + ".xml";
  for (const std::string& file : std::vector<std::string>{
           "my_ORBX/" + locked + ".xml", "my_thirdparty/" + locked + ".xml", otherFile,
           "my_thirdparty/ZZPC.xml", "my_thirdparty/ZZPE.xml", "my_thirdparty/ZZPS.xml"}) {
    ASSERT_TRUE(entered.contains(file)) << file;
  }
  EXPECT_EQ(lf_changedFiles(entered, passedOver),
            "changed: " + otherFile + "\ngone: my_thirdparty/ZZPD.xml\n");
  EXPECT_NE(lf_read(program_ / "output/info/AirportsScanLog.txt").find("cannot enter folder"),
            std::string::npos);
  const std::string passedOverLog = lf_read(log());
  EXPECT_NE(passedOverLog.find("Airports scan partial: 2 folders and 2 files passed over, the "
                               "first "),
            std::string::npos)
      << passedOverLog;
  for (const std::string& place : std::vector<std::string>{locked, "ZZPC.bgl", "Inner"}) {
    EXPECT_NE(passedOverLog.find(place + ": Permission denied"), std::string::npos) << place;
  }
  EXPECT_EQ(passedOverLog.find("SYSTEM ERROR"), std::string::npos);

  const int moves = static_cast<int>(entered.size() + passedOver.size());
  for (int move = 0; move <= moves; ++move) {
    const Files before = lf_standFiles(program_ / "airports");
    const bool passedOverLive = before == passedOver;
    prepare(!passedOverLive);
    ASSERT_EQ(startEndingAfterMove(move), 137) << "move " << move << "\n" << lf_read(log());
    ASSERT_EQ(startEndingAfterMove(0), 137) << "after move " << move << "\n" << lf_read(log());
    const Files after = lf_standFiles(program_ / "airports");
    EXPECT_TRUE(after == before || after == (passedOverLive ? entered : passedOver))
        << "after move " << move << ":\n"
        << lf_changedFiles(before, after);
    EXPECT_EQ(lf_count(lf_read(log()), "interrupted swap of the airports scan's stand files was "),
              move > 0 ? 1u : 0u);
  }
}

// A burst of reports, sent as fast as loopback takes them while the program runs, leaves the
// program's memory where it was, and the next aircraft reported comes into the simulator as it
// does without a burst: its reports are due 30 s after they arrive.
TEST_F(ProgramRunTest, ATrafficBurstHoldsUpNeitherMemoryNorTheNextAircraft) {
  constexpr long kBurstMemoryKb = 20 * 1024;
  recording_ = root_.path() / "burst.rttfc";
  lf_writeBurstRecording(recording_);
  holdReplay_ = true;  // until the program's resident size before the burst is taken
  const pid_t pid = startAll();
  ASSERT_GT(pid, 0);
  // The main loop runs: the user position goes out again and again.
  ASSERT_TRUE(lf_waitFor([&] { return lf_count(lf_read(rtLog()), "Qs121=") >= 3; }, 120s));
  const long before = lf_residentKb(pid);
  ASSERT_GT(before, 0);
  const auto burst = std::chrono::steady_clock::now();
  ::kill(rtStandin_, SIGUSR1);
  const bool created = lf_waitFor(
      [&] { return lf_read(trace()).find("\"tail_number\":\"QFA11\"") != std::string::npos; },
      120s);
  const std::chrono::duration<double> waited = std::chrono::steady_clock::now() - burst;
  const long after = lf_residentKb(pid);
  std::cout << "[ INFO ] resident " << before << " kB before the burst, " << after
            << " kB after; QFA11 " << (created ? "created " : "not created in ") << waited.count()
            << " s after the burst began\n";
  EXPECT_TRUE(created);
#ifndef __SANITIZE_ADDRESS__  // the sanitizer keeps freed memory in quarantine
  EXPECT_LE(std::abs(after - before), kBurstMemoryKb);
#endif
  ::kill(pid, SIGTERM);
  EXPECT_EQ(processes_.wait(pid, kEnds), 0);
}

}  // namespace
