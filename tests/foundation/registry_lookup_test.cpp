// Simulator detection from the registry store and the AppData folder. The installed flags are
// set at static initialisation, so each store is checked in a child run of this test program
// started with ZENDRIK_REGISTRY pointing at it.
#include "foundation/registry_lookup.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/log.h"
#include "foundation/parameters.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kChildMark = "ZENDRIK_REGISTRY_CHILD";
// U+00DC, U+00EF and U+1F600: the path must come back as the same UTF-8 text.
const std::string kV5Path =
    "C:\\Program Files\\Lockheed Martin\\Prepar3D v5 \xC3\x9Cn\xC3\xAF "
    "\xF0\x9F\x98\x80\\";

std::string lf_env(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr ? value : "";
}

// Runs this program's RegistryChild test with the store and the expected answers; true when
// the child's checks passed.
bool lf_runChild(const fs::path& store, const std::vector<std::string>& expectations) {
  std::vector<std::string> env = {std::string(kChildMark) + "=1",
                                  "ZENDRIK_REGISTRY=" + store.string()};
  env.insert(env.end(), expectations.begin(), expectations.end());
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  for (char** e = environ; *e != nullptr; ++e) {
    if (std::string(*e).starts_with("ZENDRIK_")) continue;
    envp.push_back(*e);
  }
  envp.push_back(nullptr);
  std::string filter = "--gtest_filter=RegistryChild.*";
  std::string self = fs::read_symlink("/proc/self/exe").string();
  char* argv[] = {self.data(), filter.data(), nullptr};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::execve(self.c_str(), argv, envp.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(RegistryChild, AnswersMatchTheStore) {
  if (lf_env(kChildMark).empty()) GTEST_SKIP() << "runs only as a child of the registry tests";
  EXPECT_EQ(g_p3dV5Installed, lf_env("EXPECT_V5") == "1");
  EXPECT_EQ(g_p3dV6Installed, lf_env("EXPECT_V6") == "1");
  EXPECT_EQ(gf_getP3DSetupPath(5), lf_env("EXPECT_PATH5"));
  EXPECT_EQ(gf_getP3DSetupPath(6), lf_env("EXPECT_PATH6"));
}

TEST(Registry, InstalledFlagsAndSetupPathsFollowTheStore) {
  const struct {
    const char* store;  // nullptr: no store file at all
    std::vector<std::string> expectations;
  } cases[] = {
      {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v5]\n"
       "\"SetupPath\"=\"C:\\\\Program Files\\\\Lockheed Martin\\\\Prepar3D v5 "
       "\xC3\x9Cn\xC3\xAF \xF0\x9F\x98\x80\\\\\"\n",
       {"EXPECT_V5=1", "EXPECT_V6=0", "EXPECT_PATH5=" + kV5Path, "EXPECT_PATH6="}},
      // A key without SetupPath: installed, with an empty path.
      {"[HKEY_LOCAL_MACHINE\\SOFTWARE\\Lockheed Martin\\Prepar3D v6]\n\"Other\"=\"x\"\n",
       {"EXPECT_V5=0", "EXPECT_V6=1", "EXPECT_PATH5=", "EXPECT_PATH6="}},
      {nullptr, {"EXPECT_V5=0", "EXPECT_V6=0", "EXPECT_PATH5=", "EXPECT_PATH6="}},
  };
  for (const auto& c : cases) {
    TempWorkingFolder work;
    if (c.store != nullptr) gf_testWriteFile("registry.txt", c.store);
    EXPECT_TRUE(lf_runChild(work.path() / "registry.txt", c.expectations))
        << (c.store ? c.store : "no store");
  }
}

TEST(AppDataPath, ComesFromTheKnownFolder) {
  TempWorkingFolder work;
  const std::string saved = lf_env("APPDATA");
  const fs::path roaming = work.path() / "Roaming folder";
  ::setenv("APPDATA", roaming.c_str(), 1);
  EXPECT_EQ(gf_getAppDataPath(), roaming);
  if (saved.empty()) {
    ::unsetenv("APPDATA");
  } else {
    ::setenv("APPDATA", saved.c_str(), 1);
  }
}

TEST(SimulatorVersion, FromTheInstallPathElseTheSetting) {
  const struct {
    const char* path;
    int setting;
    const char* version;
  } cases[] = {{"C:\\Prepar3D V6", 5, "6"},
               {"D:\\P3D v5 and v6", 6, "5"},
               {"C:\\Sim", 5, "5"},
               {"C:\\Sim", 6, "6"}};
  for (const auto& c : cases) {
    g_paramSimInstallPath.setValue(c.path);
    g_paramP3dVersion.setValue(c.setting);
    EXPECT_EQ(gf_p3dVersionFromPath(), c.version) << c.path;
  }
  g_paramSimInstallPath.setValue("");
  g_paramP3dVersion.setValue(5);
}
