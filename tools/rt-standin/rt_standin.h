// The RealTraffic stand-in: the peer that the program's RealTraffic link and UDP readers talk to
// in tests and in the demo. Its sockets are Winsock's, as the program's are, so the library
// builds on Windows too (the tests run it in-process under Wine).
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "common/winsock_use.h"
#include "platform/win32.h"

namespace rtstandin {

using standin::WinsockUse;

struct Options {
  std::string serverHost = "127.0.0.1";
  std::uint16_t serverPort = 10747;
  std::string trafficFile;
  double speed = 1.0;  // replay pace: record time differences divided by this
  bool loop = false;   // start the recording over when it ends
  bool hold = false;   // the replay waits for SIGUSR1 (the link is served meanwhile)
  std::string udpHost = "127.0.0.1";
  std::uint16_t trafficPort = 49005;
  std::uint16_t weatherPort = 49004;
  std::string version = "9.0.0";  // answered to "Qs999=version"
  int level = 1;                  // edition level; 2 is the professional edition
  std::string logFile;            // empty: standard output
};

// Parses the command line (argv[0] is skipped). Returns nothing and fills `error` on bad input.
std::optional<Options> parseOptions(int argc, const char* const* argv, std::string& error);
std::string usageText();

// One line of a recording: a traffic record (RTTFC) or a weather JSON object.
struct ReplayRecord {
  bool weather = false;
  std::string text;
  // Field 14 of a traffic record; a weather line takes the stamp of the traffic record before
  // it, or of the first one when none comes before it.
  double stamp = 0.0;
};

struct Recording {
  std::vector<ReplayRecord> records;
  std::size_t skippedLines = 0;  // lines that are neither RTTFC records nor weather objects
};

// Reads a recording; throws std::runtime_error when the file cannot be read.
Recording loadRecording(const std::string& path);

// The record with field 14 replaced by the given time stamp (two decimals); a record without a
// readable field 14 is returned unchanged.
std::string retimeRecord(const std::string& record, double stamp);

// Thread-safe line log with a time prefix: to a file, or to standard output.
class LineLog {
 public:
  explicit LineLog(const std::string& path);
  ~LineLog();
  void write(const std::string& line);

 private:
  std::mutex mutex_;
  std::FILE* file_ = nullptr;
  bool own_ = false;
};

// What the program sent over TCP, in arrival order.
struct Received {
  std::vector<std::string> versionQueries;
  std::vector<std::string> positions;  // "Qs121=" lines without the line end
  std::vector<std::string> simTimes;   // "Qs123=" lines
  int exits = 0;
  std::vector<std::string> other;
};

// The TCP side: connects to the program's server and answers it on a thread of its own.
class Session {
 public:
  Session(Options options, LineLog* log);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  // Connects, retrying every 100 ms until the server is up, `timeoutMs` passed or stop() was
  // called; then answers on the session thread. True when connected.
  bool connect(int timeoutMs);
  // Closes the connection as a RealTraffic that goes away would.
  void disconnect();
  void stop();
  bool connected() const { return connected_.load(); }
  bool exitReceived() const { return exitReceived_.load(); }
  Received received() const;
  // Waits until `predicate(received())` holds or `timeoutMs` passed.
  template <class Pred>
  bool waitFor(Pred predicate, int timeoutMs) const;

 private:
  void serve(SOCKET s);
  void handleLine(SOCKET s, const std::string& line);

  WinsockUse winsock_;
  Options options_;
  LineLog* log_;
  SOCKET socket_ = INVALID_SOCKET;
  std::thread thread_;
  std::atomic<bool> connected_{false};
  std::atomic<bool> exitReceived_{false};
  std::atomic<bool> stop_{false};
  std::atomic<bool> leaving_{false};  // disconnect() ends the session thread
  mutable std::mutex mutex_;
  Received received_;
};

// The UDP side: replays a recording at the pace of its time stamps.
struct ReplayReport {
  std::size_t trafficSent = 0;
  std::size_t weatherSent = 0;
  std::size_t sendErrors = 0;
  std::size_t rounds = 0;
};

// Replays `recording` to the options' UDP host and ports until it ends (or, with `loop`, until
// `stop` is set). Throws std::runtime_error when the UDP socket cannot be made.
ReplayReport replay(const Recording& recording, const Options& options,
                    const std::atomic<bool>& stop);

std::string reportText(const ReplayReport& report, const Received& received,
                       std::size_t skippedLines);

template <class Pred>
bool Session::waitFor(Pred predicate, int timeoutMs) const {
  for (int waited = 0; waited <= timeoutMs; waited += 10) {
    if (predicate(received())) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return predicate(received());
}

}  // namespace rtstandin
