// Shared pieces of the livery tests (see liveries_test_support.h).

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>
#include <stdexcept>

#include "fixtures/ai_package_writer.h"
#include "fixtures/livery_tables.h"
#include "foundation/file_names.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/scan_throttle.h"
#include "foundation/settings_file.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/registration_liveries.h"
#include "liveries/scan_reports.h"
#include "liveries/similar_types.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

namespace liveries_test {
namespace {

fs::path lf_makeTempDir(const char* pattern) {
  std::string templ = gf_pathToUtf8(fs::temp_directory_path() / pattern);
  if (!mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
  return gf_pathFromUtf8(templ);
}

void lf_resetDbaseTables() {
  g_dbaseTypes.clear();
  g_dbaseHighPerf.clear();
  g_dbaseHeavy.clear();
  g_dbaseLarge.clear();
  g_dbaseBuzjet.clear();
  g_dbaseRotorcraft.clear();
  g_dbaseCargoTypes.clear();
  g_dbaseSimilarGroups.clear();
  g_dbaseIcaoAirlines.clear();
  g_dbaseCargoOperators.clear();
  g_dbasePublishers.clear();
  g_dbaseWingspans.clear();
  g_defaultWingspan.fill(0.0);
  g_maxHalfWingspanNm = 0.0;
  g_dbaseFixes.clear();
  g_dbaseSimaddonAirports.clear();
  g_dbaseThirdParties.clear();
  g_dbaseRegs.clear();
  g_dbasePvtRegs.clear();
}

void lf_resetLiveryState() {
  lf_clearScanLists();
  g_liveries.clear();
  gf_clearLiveryTables();
  g_failedLiveries.clear();
  g_notCreated.clear();
  g_noMatches.clear();
  g_matchSteps.fill(0);
  g_liveriesScanDone.store(false);
  lf_resetDbaseTables();
  g_stopRequested.store(false);
  g_exitRequested.store(false);
  g_numThreads.store(0);
  g_maxThreads.store(4);
}

}  // namespace

LiveriesEnv::LiveriesEnv()
    : previous_(fs::current_path()),
      dir_(lf_makeTempDir("zendrik-liveries-XXXXXX")),
      savedParametersFile_(g_parametersFile) {
  fs::current_path(dir_);
  for (const fs::path& folder : {g_inputDir, g_infoDir, g_errorsDir})
    fs::create_directories(folder);
  gf_openLog();
  g_parametersFile = dir_ / "parameters.xml";
  setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:9/", 1);  // the discard port: refused at once
  auto set = [this](auto& parameter, auto value) {
    restore_.push_back([&parameter, old = parameter.value()] { parameter.setValue(old); });
    parameter.setValue(value);
  };
  set(g_paramRandom, false);
  set(g_paramLog, true);
  set(g_paramMatchingDepth, 4);
  set(g_paramLightAircraft, true);
  set(g_paramHighPerfAircraft, true);
  set(g_paramHelicopters, true);
  set(g_paramScanLiveries, true);
  set(g_paramLigAutomatic, true);
  set(g_paramLigPrioritize, false);
  set(g_paramSimInstallPath, std::string());
  for (StringParameter& folder : g_paramLfolder) set(folder, std::string());
  lf_resetLiveryState();
}

LiveriesEnv::~LiveriesEnv() {
  lf_resetLiveryState();
  for (auto it = restore_.rbegin(); it != restore_.rend(); ++it) (*it)();
  g_parametersFile = savedParametersFile_;
  for (const char* name : {"ZENDRIK_DOWNLOAD_URL", "APPDATA", "ZENDRIK_DRIVE_C", "ZENDRIK_DRIVE_D"})
    unsetenv(name);
  gf_closeLog();
  std::error_code ec;
  fs::current_path(previous_, ec);
  fs::remove_all(dir_, ec);
}

std::string LiveriesEnv::log() const {
  return fileText(dir_ / "Log.txt");
}

// The simulated install rests on the Linux layer's drive mapping: the Linux tree only.
#ifndef _WIN32
void LiveriesEnv::useWorld(const fs::path& appData, const fs::path& driveC, const fs::path& driveD,
                           const std::string& simInstallPath) {
  setenv("APPDATA", appData.c_str(), 1);
  setenv("ZENDRIK_DRIVE_C", driveC.c_str(), 1);
  setenv("ZENDRIK_DRIVE_D", driveD.c_str(), 1);
  g_paramSimInstallPath.setValue(simInstallPath);
}
#endif

DownloadServer::DownloadServer()
    : folder_(lf_makeTempDir("zendrik-server-XXXXXX")), server_(folder_) {
  if (running()) setenv("ZENDRIK_DOWNLOAD_URL", server_.url().c_str(), 1);
}

DownloadServer::~DownloadServer() {
  unsetenv("ZENDRIK_DOWNLOAD_URL");
  std::error_code ec;
  fs::remove_all(folder_, ec);
}

void MatchingTest::useDbase(const fixtures::DbaseContent& content) {
  auto toSet = [](const std::vector<std::string>& codes) {
    return std::set<std::string>(codes.begin(), codes.end());
  };
  g_dbaseTypes = toSet(content.types);
  g_dbaseLarge = toSet(content.large);
  g_dbaseHeavy = toSet(content.heavy);
  g_dbaseBuzjet = toSet(content.buzjet);
  g_dbaseRotorcraft = toSet(content.rotorcraft);
  g_dbaseHighPerf = toSet(content.highPerf);
  g_dbaseSimilarGroups = content.similarGroups;
  for (std::vector<std::string>& group : g_dbaseSimilarGroups)
    std::sort(group.begin(), group.end());
}

void MatchingTest::build(const std::vector<Livery>& liveries) {
  fixtures::gf_useLiveries(liveries);
  lf_logGenericLiveries();
  for (std::uint32_t category = 0; category < 6; ++category) lf_categorySummary(category);
}

Livery liv(const std::string& airl, const std::string& type, const std::string& title,
           const std::string& atcid, bool cargo, int priority) {
  return Livery{airl, type, title, atcid, priority, cargo};
}

LiveryTarget aircraft(const std::string& airline, const std::string& type,
                      const std::string& registration, bool cargo, const std::string& callsign) {
  LiveryTarget target;
  target.airline = airline;
  target.type = type;
  target.registration = registration;
  target.callsign = callsign;
  target.cargo = cargo;
  target.category = gf_typeCategory(type);
  return target;
}

void writeAircraft(const fs::path& folder, const std::string& type,
                   const std::vector<std::vector<std::string>>& sections,
                   const std::string& cfgName) {
  fixtures::AircraftFolder a;
  a.folder = folder;
  a.cfgName = cfgName;
  a.text = fixtures::generalSection(type);
  int n = 0;
  for (std::vector<std::string> keys : sections) {
    keys.push_back("sim=x");
    a.text += fixtures::fltsimSection(n++, keys);
  }
  a.modelFolders = {"model"};
  a.textureFolders = {"texture"};
  a.airFiles = {"x.air"};
  fixtures::writeAircraftFolder(a);
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

std::string fileText(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> readLines(const fs::path& file) {
  std::vector<std::string> lines;
  std::ifstream in(file);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> logLinesWith(const std::string& log, const std::string& fragment) {
  std::vector<std::string> lines;
  std::istringstream in(log);
  for (std::string line; std::getline(in, line);) {
    if (contains(line, fragment)) lines.push_back(line);
  }
  return lines;
}

}  // namespace liveries_test
