// The RealTraffic stand-in: its command line, recordings, and the program run against a test
// server that plays the part of Zendrik_P3D's RealTraffic link.
#include "rt-standin/rt_standin.h"

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

extern char** environ;

namespace {

std::optional<rtstandin::Options> lf_parse(std::vector<const char*> args, std::string& error) {
  args.insert(args.begin(), "rt-standin");
  return rtstandin::parseOptions(static_cast<int>(args.size()), args.data(), error);
}

std::filesystem::path lf_realFolder() {
  return std::filesystem::path(ZENDRIK_REALWORLD_DIR) / "realtraffic" / "derived";
}

// A socket of `type` bound to a free loopback port.
int lf_boundSocket(int type, std::uint16_t& port) {
  const int fd = ::socket(AF_INET, type, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address));
  socklen_t length = sizeof(address);
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  port = ntohs(address.sin_port);
  return fd;
}

// A listening TCP socket on a free loopback port.
struct TestServer {
  std::uint16_t port = 0;
  int fd = lf_boundSocket(SOCK_STREAM, port);
  TestServer() { ::listen(fd, 4); }
  ~TestServer() { ::close(fd); }
  int accept() const { return ::accept(fd, nullptr, nullptr); }
};

struct UdpSink {
  std::uint16_t port = 0;
  int fd = lf_boundSocket(SOCK_DGRAM, port);
  UdpSink() {
    timeval timeout{0, 200000};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout));
  }
  ~UdpSink() { ::close(fd); }
  std::vector<std::string> drain() const {
    std::vector<std::string> out;
    char buffer[65536];
    for (ssize_t n; (n = ::recv(fd, buffer, sizeof(buffer), 0)) > 0;) {
      out.emplace_back(buffer, static_cast<std::size_t>(n));
    }
    return out;
  }
};

std::string lf_readJson(int fd) {
  std::string text;
  char buffer[1024];
  while (!nlohmann::json::accept(text)) {
    const auto n = ::recv(fd, buffer, sizeof(buffer), 0);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

void lf_send(int fd, const std::string& text) {
  ASSERT_EQ(::send(fd, text.data(), text.size(), MSG_NOSIGNAL), static_cast<ssize_t>(text.size()));
}

bool lf_waitExit(pid_t pid, int& status, std::chrono::seconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < end) {
    if (::waitpid(pid, &status, WNOHANG) == pid) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  return false;
}

std::string lf_slurp(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

TEST(RtStandinOptions, RequiredValuesAndBadInput) {
  std::string error;
  auto options = lf_parse({"--server", "127.0.0.1:10800", "--traffic", "f.txt", "--loop", "--speed",
                           "4", "--level", "2", "--version", "9.9"},
                          error);
  ASSERT_TRUE(options) << error;
  EXPECT_EQ(options->serverPort, 10800);
  EXPECT_TRUE(options->loop);
  EXPECT_DOUBLE_EQ(options->speed, 4.0);
  EXPECT_EQ(options->level, 2);
  EXPECT_EQ(options->trafficPort, 49005);
  EXPECT_EQ(options->weatherPort, 49004);
  EXPECT_FALSE(lf_parse({"--traffic", "f.txt"}, error));
  EXPECT_FALSE(lf_parse({"--server", "host:0", "--traffic", "f"}, error));
  EXPECT_FALSE(lf_parse({"--server", "host:70000", "--traffic", "f"}, error));
  EXPECT_FALSE(lf_parse({"--server", "h:1", "--traffic", "f", "--speed", "0"}, error));
  EXPECT_FALSE(lf_parse({"--server", "h:1", "--traffic", "f", "--speed", "nan"}, error));
  EXPECT_FALSE(lf_parse({"--server", "h:1", "--traffic", "f", "--bogus", "1"}, error));
  EXPECT_FALSE(lf_parse({"--server", "h:1", "--traffic"}, error));
}

TEST(RtStandinRecording, RealRecordsAndRetiming) {
  const auto file = lf_realFolder() / "Traffic_buffered.derived.txt";
  if (!std::filesystem::exists(file)) GTEST_SKIP() << "real-world records not found: " << file;
  const auto recording = rtstandin::loadRecording(file.string());
  std::size_t rttfc = 0, lines = 0;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line); ++lines)
    if (line.rfind("RTTFC,", 0) == 0) ++rttfc;
  EXPECT_EQ(recording.records.size(), rttfc);
  EXPECT_EQ(recording.skippedLines, lines - rttfc);
  ASSERT_FALSE(recording.records.empty());
  const auto parked =
      rtstandin::loadRecording((lf_realFolder() / "Traffic_parked.derived.txt").string());
  EXPECT_TRUE(parked.records.empty());  // RTPARK lines are not traffic records
  EXPECT_GT(parked.skippedLines, 0u);
  const auto& first = recording.records.front().text;
  const std::string retimed = rtstandin::retimeRecord(first, 1800000000.25);
  EXPECT_NE(retimed.find(",1800000000.25,"), std::string::npos) << retimed;
  EXPECT_EQ(std::count(retimed.begin(), retimed.end(), ','),
            std::count(first.begin(), first.end(), ','));
  EXPECT_EQ(rtstandin::retimeRecord("RTTFC,1,2", 5.0), "RTTFC,1,2");
  EXPECT_THROW(rtstandin::loadRecording("/nonexistent/recording.txt"), std::runtime_error);
}

// A wild time stamp in a recording means a long wait for that record, never an overflowed
// clock that sends it at once; a stop ends the wait.
TEST(RtStandinRecording, WildTimeStampWaitsUntilStopped) {
  UdpSink traffic, weather;
  rtstandin::Recording recording;
  recording.records.push_back({false, "RTTFC,20000,51.1,6.1", 1000.0});
  recording.records.push_back({false, "RTTFC,20001,51.1,6.1", 1e300});
  rtstandin::Options options;
  options.trafficPort = traffic.port;
  options.weatherPort = weather.port;
  std::atomic<bool> stop{false};
  std::thread stopper([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    stop = true;
  });
  const auto report = rtstandin::replay(recording, options, stop);
  stopper.join();
  EXPECT_EQ(report.trafficSent, 1u);
  EXPECT_EQ(traffic.drain().size(), 1u);
}

// The stand-in program against a test server: version reply, logged lines, a replay held until
// SIGUSR1 of a recording that opens with a weather line (stamped like the first traffic record),
// a dropped link that it connects again, "exit" after which it serves the next run (with the
// replay once more), and SIGTERM ending it with its report.
TEST(RtStandinProgram, ServesTheLinkAndReplaysTraffic) {
#ifndef ZENDRIK_RT_STANDIN
  GTEST_SKIP() << "rt-standin was not built";
#else
  const auto dir =
      std::filesystem::temp_directory_path() / fmt::format("rt_standin_{}", ::getpid());
  std::filesystem::create_directories(dir);
  const auto traffic = dir / "traffic.txt";
  const auto log = dir / "log.txt";
  {
    std::ofstream out(traffic);
    out << "{\"QNH\": 1013}\n";
    for (int i = 0; i < 5; ++i)
      out << fmt::format("RTTFC,{},51.1,6.1,12000,0,1,230,280,KLM{},B738,PH-BXA,AMS,DUS,{},X\n",
                         20000 + i, i, 1700000000 + i * 0.1);
    out << "{\"QNH\": 1017}\n";
  }
  EXPECT_EQ(rtstandin::loadRecording(traffic.string()).records.front().stamp, 1700000000.0);
  TestServer server;
  UdpSink trafficSink, weatherSink;
  const std::string serverArg = fmt::format("127.0.0.1:{}", server.port);
  const std::string tport = std::to_string(trafficSink.port),
                    wport = std::to_string(weatherSink.port);
  const std::vector<std::string> args{
      ZENDRIK_RT_STANDIN, "--server",       serverArg, "--traffic", traffic.string(),
      "--speed",          "10",             "--traffic-port", tport, "--weather-port",
      wport,              "--version",      "9.0.7",  "--level",   "2",
      "--log",            log.string(),     "--hold"};
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = 0;
  ASSERT_EQ(::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ), 0);

  int link = server.accept();
  ASSERT_GE(link, 0);
  lf_send(link, "Qs999=version\r\n");
  const auto reply = nlohmann::json::parse(lf_readJson(link));
  EXPECT_EQ(reply.at("version"), "9.0.7");
  EXPECT_EQ(reply.at("level"), 2);
  lf_send(link, "Qs121=5000;0;1.000000;12345000;250000;0.890118;0.104720\r\n");
  EXPECT_TRUE(trafficSink.drain().empty()) << "held";
  ::kill(pid, SIGUSR1);
  const auto datagrams = trafficSink.drain();
  EXPECT_EQ(datagrams.size(), 5u);
  EXPECT_EQ(weatherSink.drain().size(), 2u);
  ::close(link);  // the program drops the link: RealTraffic comes back
  link = server.accept();
  ASSERT_GE(link, 0);
  lf_send(link, "Qs123=1700000000000\r\nexit\r\n");
  ::close(link);
  // The run has ended: RealTraffic waits for the next one, which gets the replay once more.
  link = server.accept();
  ASSERT_GE(link, 0);
  lf_send(link, "Qs999=version\r\n");
  EXPECT_EQ(nlohmann::json::parse(lf_readJson(link)).at("version"), "9.0.7");
  std::size_t again = 0;
  for (int i = 0; i < 50 && again < 5; ++i) again += trafficSink.drain().size();
  EXPECT_EQ(again, 5u);
  ::kill(pid, SIGTERM);
  int status = 0;
  EXPECT_TRUE(lf_waitExit(pid, status, std::chrono::seconds(10)));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  ::close(link);

  for (const auto& d : datagrams) EXPECT_EQ(d.find(",1700000000"), std::string::npos) << d;
  const std::string text = lf_slurp(log);
  EXPECT_NE(text.find("received Qs121=5000;0;1.000000"), std::string::npos) << text;
  EXPECT_NE(text.find("received Qs123=1700000000000"), std::string::npos) << text;
  EXPECT_NE(text.find("received exit"), std::string::npos) << text;
  EXPECT_NE(text.find("link lost, connecting again"), std::string::npos) << text;
  EXPECT_NE(text.find("run ended, connecting for the next run"), std::string::npos) << text;
  const std::string finished = "replay finished: 5 traffic and 2 weather";
  EXPECT_NE(text.find(finished), text.rfind(finished)) << "two replays: " << text;
  EXPECT_NE(text.find("2 version queries"), std::string::npos) << text;
  std::filesystem::remove_all(dir);
#endif
}
