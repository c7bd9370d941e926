#pragma once
// Shared set-up of the livery scan tests: a temporary working folder with the program's output
// folders and an open log, empty scan lists and database tables, a download server that refuses
// at once, the settings the scan reads restored afterwards, and reading of report files.

#include <filesystem>
#include <string>
#include <vector>

#include "liveries/liveries_test_support.h"

namespace liveries_test {

class ScanEnvironment {
 public:
  ScanEnvironment();
  ~ScanEnvironment();
  ScanEnvironment(const ScanEnvironment&) = delete;
  ScanEnvironment& operator=(const ScanEnvironment&) = delete;

  const std::filesystem::path& path() const { return work_.path(); }
  std::string log() const { return work_.log(); }
  // Points APPDATA, ZENDRIK_DRIVE_C/D and SIM_INSTALL_PATH at a generated world's folders.
  void useWorld(const std::filesystem::path& appData, const std::filesystem::path& driveC,
                const std::filesystem::path& driveD, const std::string& simInstallPath);

 private:
  ScopedWorkDir work_;
  std::filesystem::path savedParametersFile_;
};

// The lines of a text file (LF ends); empty when it does not exist.
std::vector<std::string> readLines(const std::filesystem::path& file);
// Lines of the log text that contain the fragment.
std::vector<std::string> logLinesWith(const std::string& log, const std::string& fragment);

}  // namespace liveries_test
