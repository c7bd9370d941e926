// Shared helpers of the airports tests: reading built or real BGL files the way a scan task
// does, and the scan log lines they produced.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "airports/bgl_airport.h"
#include "foundation/http_server_helpers.h"

namespace airports_test {

struct ReadAirport {
  AirportFile file;
  int helipads = 0;
};

// Every airport of the words, read with the reader's own walks (no linking).
std::vector<ReadAirport> readAirports(const BglWords& words, const std::string& bglPath = "test.bgl");
std::vector<ReadAirport> readAirports(const std::vector<std::uint8_t>& bytes,
                                      const std::string& bglPath = "test.bgl");

// Empties the scan log and hands out what was appended since.
std::vector<std::string> takeScanLog();

// A fresh temporary folder, removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::filesystem::path& path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

// The real-world sample folder, or empty when it is not there.
std::filesystem::path realworldDir();

// Runs a test inside a fresh temporary working folder with its own Log.txt.
class WorkingFolder {
 public:
  WorkingFolder();
  ~WorkingFolder();
  const std::filesystem::path& path() const { return m_dir.path(); }
  // The lines of Log.txt written so far.
  std::vector<std::string> logLines() const;
  bool logHas(const std::string& text) const;

 private:
  TempDir m_dir;
  std::filesystem::path m_previous;
};

// The local file server of the download tests over a folder, with ZENDRIK_DOWNLOAD_URL pointed
// at it while it lives.
class HttpServer {
 public:
  explicit HttpServer(const std::filesystem::path& root);
  ~HttpServer();
  HttpServer(const HttpServer&) = delete;
  HttpServer& operator=(const HttpServer&) = delete;
  bool running() const { return m_server.running(); }
  std::string url() const { return m_server.url(); }

 private:
  LocalHttpServer m_server;
};

std::string readText(const std::filesystem::path& file);

#ifndef _WIN32
// Exit codes of runAsUser beside the step's own.
constexpr int kStepPassed = 0;
constexpr int kNoUserRights = 99;  // root's rights could not be given up: skip
// Runs the step in a child process that has given up root's rights, as a user runs the program
// (root reads every file); the child's exit code, the step's result. The working folder is
// opened to everyone first; the child logs to the same Log.txt.
int runAsUser(const std::function<int()>& step);
#endif

}  // namespace airports_test
