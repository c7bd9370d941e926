// The matching test world (see matching_test_support.h).

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>

#include "foundation/file_names.h"
#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "liveries/aircraft_database.h"
#include "liveries/database_queries.h"
#include "liveries/livery_processing.h"
#include "liveries/match_summary.h"
#include "liveries/matching_tables.h"
#include "liveries/matching_test_support.h"
#include "liveries/registration_liveries.h"
#include "liveries/similar_types.h"

namespace fs = std::filesystem;

namespace matching_test {

void resetMatchingState() {
  gf_clearLiveryTables();
  g_failedLiveries.clear();
  g_notCreated.clear();
  g_noMatches.clear();
  g_matchSteps.fill(0);
  g_liveries.clear();
  g_liveriesScanDone.store(false);
}

MatchingSettings::MatchingSettings(const fs::path& folder)
    : savedParametersFile_(g_parametersFile),
      random_(g_paramRandom.value()),
      log_(g_paramLog.value()),
      light_(g_paramLightAircraft.value()),
      highPerf_(g_paramHighPerfAircraft.value()),
      helicopters_(g_paramHelicopters.value()),
      depth_(g_paramMatchingDepth.value()) {
  g_parametersFile = folder / "parameters.xml";
  g_paramRandom.setValue(false);
  g_paramLog.setValue(true);
  g_paramLightAircraft.setValue(true);
  g_paramHighPerfAircraft.setValue(true);
  g_paramHelicopters.setValue(true);
  g_paramMatchingDepth.setValue(4);
}

MatchingSettings::~MatchingSettings() {
  g_parametersFile = savedParametersFile_;
  g_paramRandom.setValue(random_);
  g_paramLog.setValue(log_);
  g_paramLightAircraft.setValue(light_);
  g_paramHighPerfAircraft.setValue(highPerf_);
  g_paramHelicopters.setValue(helicopters_);
  g_paramMatchingDepth.setValue(depth_);
}

fixtures::DbaseContent worldDbase() {
  fixtures::DbaseContent c;
  c.types = {"A319", "A320", "A321", "B738", "B38M", "B744", "B77W", "B763", "MD11", "C56X",
             "C680", "GLF5", "EC35", "AS50", "F16",  "C172", "PA28", "DA40", "PA18", "C208"};
  c.large = {"A319", "A320", "A321", "B738", "B38M"};
  c.heavy = {"B744", "B77W", "B763", "MD11"};
  c.buzjet = {"C56X", "C680", "GLF5"};
  c.rotorcraft = {"EC35", "AS50"};
  c.highPerf = {"F16"};
  c.cargoTypes = {"MD11"};
  c.similarGroups = {
      {"A319", "A320", "A321"}, {"B744", "B77W"}, {"C56X", "C680"}, {"B738", "DA40"}};
  c.icaoAirlines = {"ABC", "AMB", "EIN", "BAW", "DLH", "EZY", "FDX", "KLM", "NJE", "PVT", "RYR"};
  c.cargoOperators = {"FDX"};
  c.publishers = {"Pub One,p1"};
  c.wingspans = {{"A320", "35.8"}, {"C172", "11.0"}};
  c.fixes = {{"B73H", "B738"}};
  c.simaddonAirports = {"EHAM"};
  c.thirdParties = {{"Pub One", "LOWW"}};
  c.regs = {
      {"PH-BXA", "KLM", "B738", "", "false"},
      {"OE-LBA", "EZY", "A320", "DLH", ""},
      {"D-ABCD", "DLH", "A320", "", ""},
  };
  return c;
}

std::vector<Livery> worldLiveries() {
  auto liv = [](const char* airl, const char* type, const char* title, const char* atcid = "",
                bool cargo = false) { return Livery{airl, type, title, atcid, 0, cargo}; };
  return {
      liv("KLM", "B738", "KLM 737-800 PH-BXA", "PH-BXA"),
      liv("KLM", "B738", "KLM 737-800 Orange"),
      liv("KLM", "B738", "KLM 737-800 Std"),
      liv("KLM", "B77W", "KLM 777-300ER"),
      liv("DLH", "A320", "Lufthansa A320 D-AIZA", "D-AIZA"),
      liv("DLH", "A320", "Lufthansa A320 Std"),
      liv("DLH", "A321", "Lufthansa A321"),
      liv("EZY", "A319", "easyJet A319", "G-CLSH"),
      liv("EZY", "A320", "easyJet A320"),
      liv("EIN", "A320", "Aer Lingus A320 \"St. Patrick's\" \u00c9riu & <Shamrock>", "EI-DEO"),
      liv("FDX", "MD11", "FedEx MD-11", "", true),
      liv("FDX", "C208", "FedEx Caravan", "", true),
      liv("BAW", "B744", "British Airways 747-400", "G-CLSH"),
      liv("BAW", "B744", "BA World Cargo 747", "", true),
      liv("ZZZ", "B738", "Generic 737-800 White"),
      liv("ZZZ", "B738", "Generic 737-800 Special Retro"),
      liv("ZZZ", "C172", "Cessna 172 Generic"),
      liv("ZZZ", "C56X", "Citation Excel Generic"),
      liv("PVT", "PA28", "Piper Cherokee Private"),
      liv("ABC", "DA40", "Diamond DA40 School"),
      liv("ABC", "PA18", "Piper Cub Banner"),
      liv("NJE", "C680", "NetJets Sovereign"),
      liv("AMB", "EC35", "ADAC EC135"),
      liv("RYR", "B738", "FSLTL_B738_RYR"),
      liv("RYR", "B38M", "fsltl_b38m_ryr"),
  };
}

std::vector<fixtures::AigLivery> worldAig() {
  return {
      {"KLM 737-800 Orange", {"PH-BXO"}, "1"},
      {"Lufthansa A320 Std", {"D-AIZA"}, ""},
      {"Not Installed Title", {"X-XXXX"}, ""},
      {"Piper Cub Banner", {}, "true"},
  };
}

std::string worldUserRegcodes() {
  return "Generic 737-800 Special Retro;ZZ-RET1\n"
         "Lufthansa A321;D-AIZA,D-AIZC\n";
}

void MatchingWorld::storeCatalogue(const std::vector<Livery>& liveries) {
  fs::create_directories(g_outputDir);
  g_liveries.assign(liveries.begin(), liveries.end());
  g_liveries.sort();
  gf_writeLiveriesScanned();
  g_liveries.clear();
}

MatchingWorld::MatchingWorld(bool withProcessing) {
  liveries_test::resetDbaseTables();
  resetMatchingState();
  settings_ = std::make_unique<MatchingSettings>(work_.path());
  fixtures::writeDbaseZip(server_.folder(), worldDbase());
  fixtures::writeAigRegcodesZip(server_.folder(), worldAig());
  fs::create_directories(g_myRegcodesDir);
  liveries_test::writeBytes(g_myRegcodesDir / "my regcodes.txt", worldUserRegcodes());
  fs::create_directories(g_infoDir);
  storeCatalogue(worldLiveries());
  if (!server_.running()) return;
  gf_readDbase();
  if (withProcessing) gf_processScannedLiveries();
}

MatchingWorld::~MatchingWorld() {
  resetMatchingState();
  liveries_test::resetDbaseTables();
}

void setDbaseInMemory(const fixtures::DbaseContent& content) {
  liveries_test::resetDbaseTables();
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

void buildTablesInMemory(const std::vector<Livery>& liveries) {
  g_liveries.assign(liveries.begin(), liveries.end());
  g_liveries.sort();
  lf_buildLiveryAirlines();
  lf_buildAirlineLiveries();
  lf_inlineRegcodeClashes();
  lf_buildTypeLiveries();
  gf_buildSimilarTypes();
  lf_logGenericLiveries();
  for (std::uint32_t category = 0; category < 6; ++category) lf_categorySummary(category);
  g_liveries.clear();
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

std::string fileText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace matching_test
