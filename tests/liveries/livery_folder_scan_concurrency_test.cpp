// The parallel folder scan: slot counting shared with the other scan, collection in walk order,
// a failing task losing only its own file, pruning of the walk, and the candidate file names.

#include <fmt/format.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

#include "foundation/scan_throttle.h"
#include "liveries/aircraft_database.h"
#include "liveries/liveries_test_support.h"
#include "liveries/livery.h"
#include "liveries/livery_folder_scan.h"
#include "liveries/scan_reports.h"

namespace {

namespace fs = std::filesystem;
using liveries_test::LiveriesEnv;
using liveries_test::logLinesWith;

class FolderScan : public ::testing::Test {
 protected:
  void SetUp() override {
    g_dbaseTypes.insert("B738");
    g_dbaseIcaoAirlines.insert("DLH");
  }
  // An aircraft folder with one good section per title.
  static void aircraft(const fs::path& folder, const std::vector<std::string>& titles,
                       const std::string& cfgName = "aircraft.cfg", const std::string& model = "") {
    std::vector<std::vector<std::string>> sections;
    for (const std::string& title : titles) {
      sections.push_back({"title=" + title, "atc_parking_codes=DLH"});
      if (!model.empty()) sections.back().push_back("model=" + model);
    }
    liveries_test::writeAircraft(folder, "B738", sections, cfgName);
  }
  static std::vector<std::string> titles() {
    std::vector<std::string> all;
    for (const Livery& livery : g_liveries) all.push_back(livery.title);
    return all;
  }
  LiveriesEnv env_;
};

TEST_F(FolderScan, SlotsStayWithinTheLimitAndRecordsComeInWalkOrder) {
  const fs::path root = env_.path() / "many";
  constexpr int kFiles = 120;
  for (int i = 0; i < kFiles; ++i)
    aircraft(root / fmt::format("p{}", i % 7) / fmt::format("a{}", i), {fmt::format("T{}", i)});
  // The walk's order of the files, as the scan will meet them.
  std::vector<std::string> walkOrder;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    if (entry.path().filename() == "aircraft.cfg")
      walkOrder.push_back(
          fmt::format("T{}", entry.path().parent_path().filename().string().substr(1)));
  }
  g_maxThreads.store(3);
  std::atomic<bool> done{false};
  std::atomic<int> highest{0};
  std::atomic<int> lowest{0};
  std::thread watcher([&] {
    while (!done.load()) {
      const int now = g_numThreads.load();
      highest.store(std::max(highest.load(), now));
      lowest.store(std::min(lowest.load(), now));
    }
  });
  lf_searchLiveriesInFolder(2, root);
  done.store(true);
  watcher.join();
  EXPECT_EQ(g_numThreads.load(), 0);
  EXPECT_LE(highest.load(), 3);
  EXPECT_GE(lowest.load(), 0);
  EXPECT_EQ(titles(), walkOrder);
  for (const Livery& livery : g_liveries) EXPECT_EQ(livery.priority, 2);
}

// The counter is shared with the airports scan: while its tasks hold every slot, no file task
// of the livery scan may run, and the scan goes on as the slots come back.
TEST_F(FolderScan, SlotsHeldByAnotherScanHoldTheTasksBack) {
  const fs::path root = env_.path() / "held";
  for (int i = 0; i < 4; ++i) aircraft(root / fmt::format("a{}", i), {fmt::format("H{}", i)});
  g_maxThreads.store(2);
  g_numThreads.store(2);
  auto scan = std::async(std::launch::async, [&root] { lf_searchLiveriesInFolder(1, root); });
  EXPECT_EQ(scan.wait_for(std::chrono::milliseconds(50)), std::future_status::timeout);
  gf_threadDone();
  gf_threadDone();
  ASSERT_EQ(scan.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  scan.get();
  EXPECT_EQ(g_numThreads.load(), 0);
  std::vector<std::string> found = titles();
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"H0", "H1", "H2", "H3"}));
}

TEST_F(FolderScan, AFailingTaskLosesOnlyItsOwnFile) {
  const fs::path root = env_.path() / "failing";
  aircraft(root / "good1", {"Good 1"});
  // A model folder name longer than any file system allows: testing it is an error, not "no".
  aircraft(root / "bad", {"Bad 1", "Bad 2"}, "aircraft.cfg", std::string(300, 'x'));
  aircraft(root / "good2", {"Good 2"});
  g_maxThreads.store(1);
  lf_searchLiveriesInFolder(1, root);
  EXPECT_EQ(g_numThreads.load(), 0);
  std::vector<std::string> found = titles();
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"Good 1", "Good 2"}));
  const std::string log = env_.log();
  EXPECT_EQ(logLinesWith(log, "exception in lf_procesFltSimSection: ").size(), 1u);
  EXPECT_EQ(logLinesWith(log, "exception in lf_searchLiveriesinFile " +
                                  (root / "bad" / "aircraft.cfg").string())
                .size(),
            1u);
  EXPECT_EQ(logLinesWith(log, "===> liveries search aborted, futs ").size(), 1u);
}

TEST_F(FolderScan, WalkPrunesAirportFoldersBelowTheRootAndLongPaths) {
  // The user's own folder may hold "airport" in its name; only names below it count.
  const fs::path root = env_.path() / "my airports stuff";
  aircraft(root / "A", {"Kept A"});
  aircraft(root / "Airport" / "B", {"Kept B"});
  aircraft(root / "airports" / "C", {"Pruned C"});
  aircraft(root / "x_airport_y" / "D", {"Pruned D"});
  fs::path deep = root;
  while (deep.string().size() < kMaxScanPathLength) deep /= std::string(40, 'd');
  aircraft(deep, {"Pruned deep"});
  aircraft(root / "names" / "1", {"Upper"}, "Aircraft.CFG");
  aircraft(root / "names" / "2", {"Shouting"}, "AIRCRAFT.cfg");
  aircraft(root / "names" / "3", {"Sim"}, "sim.cfg");
  aircraft(root / "names" / "4", {"Backup"}, "aircraft.cfg.bak");
  aircraft(root / "names" / "5", {"Numbered"}, "aircraft1.cfg");
  fs::create_directories(root / "names" / "6" / "aircraft.cfg");  // a folder, not a file
  lf_searchLiveriesInFolder(1, root);
  std::vector<std::string> found = titles();
  std::sort(found.begin(), found.end());
  EXPECT_EQ(found, (std::vector<std::string>{"Kept A", "Kept B", "Shouting", "Sim", "Upper"}));
}

// The walk over a tree with a folder nobody may read; true when it ended as it must.
bool lf_walkEndsAtClosedFolder(const fs::path& root, const LiveriesEnv& env) {
  g_maxThreads.store(2);
  lf_searchLiveriesInFolder(1, root);
  return g_numThreads.load() == 0 && g_liveries.size() <= 6 &&
         logLinesWith(env.log(), "aborted because of iterator problem").size() == 1;
}

TEST_F(FolderScan, UnreadableSubFolderEndsTheWalkAfterCollectingItsTasks) {
  const fs::path root = env_.path() / "locked";
  for (int i = 0; i < 6; ++i) aircraft(root / fmt::format("a{}", i), {fmt::format("L{}", i)});
  fs::create_directories(root / "a3" / "closed");
  fs::permissions(root / "a3" / "closed", fs::perms::none);
  if (geteuid() != 0) {
    EXPECT_TRUE(lf_walkEndsAtClosedFolder(root, env_));
  } else {
    // Folder permissions do not bind root: the walk runs in a child process as "nobody".
    fs::permissions(env_.path(), fs::perms::owner_all | fs::perms::group_read |
                                     fs::perms::group_exec | fs::perms::others_read |
                                     fs::perms::others_exec);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    constexpr unsigned kNobody = 65534;
    EXPECT_EXIT(
        {
          // The child runs the test afresh in a folder of its own, which its end leaves behind:
          // it keeps root as its saved id to take it back and remove that folder.
          if (setresgid(kNobody, kNobody, 0) != 0 || setresuid(kNobody, kNobody, 0) != 0)
            std::_Exit(2);
          const bool ended = lf_walkEndsAtClosedFolder(root, env_);
          if (setresuid(0, 0, 0) != 0 || setresgid(0, 0, 0) != 0) std::_Exit(3);
          std::error_code ignored;
          fs::remove_all(env_.path(), ignored);
          std::_Exit(ended ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
  }
  fs::permissions(root / "a3" / "closed", fs::perms::owner_all);
}

TEST_F(FolderScan, MissingFolderIsAnIteratorProblem) {
  lf_searchLiveriesInFolder(1, env_.path() / "none");
  EXPECT_TRUE(g_liveries.empty());
  EXPECT_EQ(
      logLinesWith(env_.log(), "===> liveries search in folder " + (env_.path() / "none").string() +
                                   " aborted because of iterator problem: ")
          .size(),
      1u);
}

}  // namespace
