// The livery tree shared by the livery benchmarks: 2,000 aircraft folders, each aircraft.cfg with
// 10 sections of type B738 and airline DLH (20,000 liveries), written once per process in the
// temporary folder (and, for the scan's rows in memory, once in /dev/shm) and removed at exit.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "fixtures/ai_package_world.h"
#include "liveries/aircraft_database.h"

namespace bench {

inline constexpr int kTreeFiles = 2000;
inline constexpr int kTreeSectionsPerFile = 10;
inline constexpr int kTreeLiveries = kTreeFiles * kTreeSectionsPerFile;

inline std::filesystem::path liveryTreeRoot() {
  return std::filesystem::temp_directory_path() /
         ("zendrik-scan-bench-" + std::to_string(::getpid()));
}

// The memory folder where a tree's file-system costs are least; empty when there is none.
inline std::filesystem::path memoryFolder() {
  const std::filesystem::path shm = "/dev/shm";
  return ::access(shm.c_str(), W_OK) == 0 ? shm : std::filesystem::path();
}

inline std::filesystem::path memoryLiveryTreeRoot() {
  const std::filesystem::path shm = memoryFolder();
  return shm.empty() ? shm : shm / ("zendrik-scan-bench-" + std::to_string(::getpid()));
}

// The database entries the tree's liveries need to be accepted.
inline void loadLiveryTreeDbase() {
  g_dbaseTypes.insert("B738");
  g_dbaseIcaoAirlines.insert("DLH");
}

inline const std::filesystem::path& liveryTree() {
  static const std::filesystem::path tree = [] {
    const std::filesystem::path root = liveryTreeRoot();
    std::filesystem::remove_all(root);
    fixtures::writeScanBenchTree(root, kTreeFiles, kTreeSectionsPerFile);
    loadLiveryTreeDbase();
    std::atexit([] { std::filesystem::remove_all(liveryTreeRoot()); });
    return root;
  }();
  return tree;
}

// The same tree in the memory folder; empty when there is none.
inline const std::filesystem::path& memoryLiveryTree() {
  static const std::filesystem::path tree = [] {
    const std::filesystem::path root = memoryLiveryTreeRoot();
    if (root.empty()) return root;
    std::filesystem::remove_all(root);
    fixtures::writeScanBenchTree(root, kTreeFiles, kTreeSectionsPerFile);
    loadLiveryTreeDbase();
    std::atexit([] { std::filesystem::remove_all(memoryLiveryTreeRoot()); });
    return root;
  }();
  return tree;
}

}  // namespace bench
