#pragma once
// Shared pieces of the livery tests: a working folder with a clean livery state and known
// settings, a local download server, matching tables built in memory, and small builders and
// readers of records, files and log lines.

#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fixtures/dbase_builder.h"
#include "foundation/errors.h"
#include "foundation/http_server_helpers.h"
#include "liveries/livery.h"
#include "liveries/livery_target.h"

namespace liveries_test {

// A fresh temporary folder made the working folder (with input/, output/info, output/errors),
// Log.txt open in it and parameters.xml kept in it; every livery table, scan list, failure list
// and counter empty; the settings the livery code reads set to known values (RANDOM off, LOG
// on, MATCHING_DEPTH 4, the three categories on, SCAN_LIVERIES on, automatic mode, no folders,
// no SIM_INSTALL_PATH); downloads aimed at a port nobody listens on. All put back afterwards.
class LiveriesEnv {
 public:
  LiveriesEnv();
  ~LiveriesEnv();
  LiveriesEnv(const LiveriesEnv&) = delete;
  LiveriesEnv& operator=(const LiveriesEnv&) = delete;

  const std::filesystem::path& path() const { return dir_; }
  // Everything written to Log.txt so far.
  std::string log() const;
  // Points APPDATA, ZENDRIK_DRIVE_C/D and SIM_INSTALL_PATH at a generated world's folders.
  void useWorld(const std::filesystem::path& appData, const std::filesystem::path& driveC,
                const std::filesystem::path& driveD, const std::string& simInstallPath);

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
  std::filesystem::path savedParametersFile_;
  std::vector<std::function<void()>> restore_;
};

// The local HTTP server the download tests share over a temporary folder of its own; sets
// ZENDRIK_DOWNLOAD_URL to it while it lives.
class DownloadServer {
 public:
  DownloadServer();
  ~DownloadServer();
  DownloadServer(const DownloadServer&) = delete;
  DownloadServer& operator=(const DownloadServer&) = delete;

  const std::filesystem::path& folder() const { return folder_; }
  bool running() const { return server_.running(); }

 private:
  std::filesystem::path folder_;
  ::LocalHttpServer server_;
};

// Matching tables built in memory over database tables set directly (no download).
class MatchingTest : public ::testing::Test {
 protected:
  // Fills the category sets and similar groups of the database.
  static void useDbase(const fixtures::DbaseContent& content);
  // Builds the matching and similar-type tables from the liveries as the processing does,
  // without the downloaded registration sources (in-line registrations are entered).
  static void build(const std::vector<Livery>& liveries);

  LiveriesEnv env_;
};

Livery liv(const std::string& airl, const std::string& type, const std::string& title,
           const std::string& atcid = "", bool cargo = false, int priority = 0);
// A live or static aircraft with its size category from the database.
LiveryTarget aircraft(const std::string& airline, const std::string& type,
                      const std::string& registration = "", bool cargo = false,
                      const std::string& callsign = "TST123");
// An aircraft folder with one section per entry of key lines, each given "sim=x", and the
// "model" and "texture" folders and the x.air file they need.
void writeAircraft(const std::filesystem::path& folder, const std::string& type,
                   const std::vector<std::vector<std::string>>& sections,
                   const std::string& cfgName = "aircraft.cfg");

// The text of the exception of type E the call throws; "" when it throws none (any other type
// passes through and fails the test).
template <class E = std::exception, class F>
std::string thrownText(F&& call) {
  try {
    call();
  } catch (const E& e) {
    return e.what();
  }
  return "";
}

// The code of the user error the call ends with; 0 when it ends well.
template <class F>
int userErrorCode(F&& call) {
  const std::string text = thrownText<qvb::UserErrorException>(call);
  return text.empty() ? 0 : std::stoi(text);
}

bool contains(const std::string& text, const std::string& part);
// The whole text of a file read in text mode, so line ends are '\n' on every system ("" when
// missing).
std::string fileText(const std::filesystem::path& file);
// The lines of a text file; empty when it does not exist.
std::vector<std::string> readLines(const std::filesystem::path& file);
// Lines of the log text that contain the fragment.
std::vector<std::string> logLinesWith(const std::string& log, const std::string& fragment);

}  // namespace liveries_test
