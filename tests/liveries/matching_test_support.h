#pragma once
// The matching test world: a generated database and AIG list served by a local download server,
// the user's regcode file and a stored LiveriesScanned.xml, processed into the matching tables
// exactly as at start-up. Also the reset of every matching table and counter between tests and
// the matching settings kept for the length of a test.

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "fixtures/dbase_builder.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_target.h"

namespace matching_test {

// Empties the matching, registration and similar-type tables, the failure lists, the counters,
// g_liveries and the done flag.
void resetMatchingState();

// Sets RANDOM off, LOG on, MATCHING_DEPTH 4, the three category settings on and points
// parameters.xml into the folder; puts everything back on destruction.
class MatchingSettings {
 public:
  explicit MatchingSettings(const std::filesystem::path& folder);
  ~MatchingSettings();
  MatchingSettings(const MatchingSettings&) = delete;
  MatchingSettings& operator=(const MatchingSettings&) = delete;

 private:
  std::filesystem::path savedParametersFile_;
  bool random_, log_, light_, highPerf_, helicopters_;
  int depth_;
};

fixtures::DbaseContent worldDbase();
std::vector<Livery> worldLiveries();
std::vector<fixtures::AigLivery> worldAig();
// The user's regcode file input/my_regcodes/my regcodes.txt.
std::string worldUserRegcodes();

// A working folder with the world laid out, the database read and the catalogue processed.
class MatchingWorld {
 public:
  // withProcessing false leaves the processing to the test.
  explicit MatchingWorld(bool withProcessing = true);
  ~MatchingWorld();

  // Writes the catalogue to output/LiveriesScanned.xml.
  static void storeCatalogue(const std::vector<Livery>& liveries);
  const liveries_test::ScopedWorkDir& work() const { return work_; }
  // The download server answered (python3 could be started).
  bool ready() const { return server_.running(); }
  const std::filesystem::path& serverFolder() const { return server_.folder(); }
  std::string log() const { return work_.log(); }

 private:
  liveries_test::ScopedWorkDir work_;
  liveries_test::LocalHttpServer server_;
  std::unique_ptr<MatchingSettings> settings_;
};

// Fills the database's category sets and similar groups directly (no download).
void setDbaseInMemory(const fixtures::DbaseContent& content);
// Builds the matching and similar-type tables from the liveries as the processing does, without
// the downloaded registration sources (in-line registrations are entered). Needs a working
// folder and MatchingSettings, since the category summary may save settings.
void buildTablesInMemory(const std::vector<Livery>& liveries);

// A live or static aircraft with its size category from the database.
LiveryTarget aircraft(const std::string& airline, const std::string& type,
                      const std::string& registration = "", bool cargo = false,
                      const std::string& callsign = "TST123");

// The whole text of a file ("" when missing).
std::string fileText(const std::filesystem::path& file);

}  // namespace matching_test
