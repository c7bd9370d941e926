// Set-up shared by the livery scan tests (see livery_scan_support.h).

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "foundation/file_names.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "foundation/settings_file.h"
#include "liveries/liveries_scan.h"
#include "liveries/livery.h"
#include "liveries/livery_processing.h"
#include "liveries/livery_scan_support.h"
#include "liveries/matching_tables.h"
#include "liveries/scan_reports.h"

namespace liveries_test {
namespace {

void lf_resetScanState() {
  lf_clearScanLists();
  g_liveries.clear();
  gf_clearLiveryTables();
  g_liveriesScanDone.store(false);
  resetDbaseTables();
  g_stopRequested.store(false);
  g_exitRequested.store(false);
  g_numThreads.store(0);
  g_maxThreads.store(4);
  g_paramScanLiveries.setValue(true);
  g_paramLigAutomatic.setValue(true);
  g_paramLigPrioritize.setValue(false);
  for (StringParameter& folder : g_paramLfolder) folder.setValue("");
  g_paramSimInstallPath.setValue("");
  // The catalogue processing switches categories off when none of their liveries is installed.
  for (CheckBoxParameter* category :
       {&g_paramHighPerfAircraft, &g_paramHelicopters, &g_paramLightAircraft}) {
    category->setValue(category->defaultValue);
  }
}

}  // namespace

ScanEnvironment::ScanEnvironment() : savedParametersFile_(g_parametersFile) {
  std::filesystem::create_directories(g_infoDir);
  std::filesystem::create_directories(g_errorsDir);
  g_parametersFile = work_.path() / "parameters.xml";
  // Downloads fail at once: nothing listens on the discard port of the loopback address.
  setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/", 1);
  lf_resetScanState();
}

ScanEnvironment::~ScanEnvironment() {
  lf_resetScanState();
  g_parametersFile = savedParametersFile_;
  for (const char* name :
       {"ZENDRIK_DOWNLOAD_URL", "APPDATA", "ZENDRIK_DRIVE_C", "ZENDRIK_DRIVE_D"}) {
    unsetenv(name);
  }
}

void ScanEnvironment::useWorld(const std::filesystem::path& appData,
                               const std::filesystem::path& driveC,
                               const std::filesystem::path& driveD,
                               const std::string& simInstallPath) {
  setenv("APPDATA", appData.c_str(), 1);
  setenv("ZENDRIK_DRIVE_C", driveC.c_str(), 1);
  setenv("ZENDRIK_DRIVE_D", driveD.c_str(), 1);
  g_paramSimInstallPath.setValue(simInstallPath);
}

std::vector<std::string> readLines(const std::filesystem::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file, std::ios::binary);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> logLinesWith(const std::string& log, const std::string& fragment) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (line.find(fragment) != std::string::npos) lines.push_back(line);
  }
  return lines;
}

}  // namespace liveries_test
