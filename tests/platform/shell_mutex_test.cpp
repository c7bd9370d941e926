// The single-instance mutex: a second taker in this or another process sees
// ERROR_ALREADY_EXISTS; closing the holder or killing the holding process frees the name.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "files_test_support.h"
#include "platform/win32.h"

extern char** environ;

namespace fs = std::filesystem;
using platform_test::EnvGuard;
using platform_test::TempDir;

namespace {

constexpr const char* kName = "Local\\$Zendrik_P3D$";
constexpr const char* kChildVariable = "ZENDRIK_TEST_MUTEX_CHILD";

// Runs in the child process only: takes the mutex, tells the parent, and waits to be killed.
TEST(MutexChild, HoldsTheNameUntilKilled) {
  const char* readyFile = std::getenv(kChildVariable);
  if (readyFile == nullptr) GTEST_SKIP() << "runs only as the child of NamedMutex.OtherProcess";
  const HANDLE mutex = CreateMutexA(nullptr, FALSE, kName);
  ASSERT_NE(mutex, nullptr);
  ASSERT_EQ(GetLastError(), ERROR_SUCCESS);
  platform_test::writeFile(readyFile, "held");
  std::this_thread::sleep_for(std::chrono::seconds(60));
}

TEST(NamedMutex, SecondTakerInThisProcessSeesAlreadyExists) {
  TempDir dir;
  EnvGuard env;
  env.set("ZENDRIK_RUNTIME_DIR", dir.path().string());
  const HANDLE first = CreateMutexA(nullptr, FALSE, kName);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  const HANDLE second = CreateMutexA(nullptr, FALSE, kName);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  const HANDLE other = CreateMutexW(nullptr, FALSE, u"Local\\Another");
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_TRUE(CloseHandle(second));
  EXPECT_TRUE(CloseHandle(first));
  EXPECT_TRUE(CloseHandle(other));
  const HANDLE again = CreateMutexA(nullptr, FALSE, kName);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(again);
  EXPECT_FALSE(CloseHandle(again));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST(NamedMutex, OtherProcessHoldsItUntilItDies) {
  TempDir dir;
  EnvGuard env;
  env.set("ZENDRIK_RUNTIME_DIR", dir.path().string());
  const fs::path ready = dir / "ready";
  env.set(kChildVariable, ready.string());

  const std::string self = fs::read_symlink("/proc/self/exe").string();
  std::string filter = "--gtest_filter=MutexChild.HoldsTheNameUntilKilled";
  char* argv[] = {const_cast<char*>(self.c_str()), filter.data(), nullptr};
  posix_spawn_file_actions_t quiet;
  posix_spawn_file_actions_init(&quiet);
  posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t child = 0;
  const int spawned = posix_spawn(&child, self.c_str(), &quiet, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&quiet);
  ASSERT_EQ(spawned, 0);
  for (int i = 0; i < 1000 && !fs::exists(ready); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  ASSERT_TRUE(fs::exists(ready)) << "the child did not take the mutex";

  const HANDLE mine = CreateMutexA(nullptr, FALSE, kName);
  EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
  CloseHandle(mine);

  // A crash: no chance to close anything.
  ::kill(child, SIGKILL);
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));

  const HANDLE after = CreateMutexA(nullptr, FALSE, kName);
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  CloseHandle(after);
}

}  // namespace
