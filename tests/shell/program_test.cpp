// The installed program as a process: one instance per user, the window PNG on SIGUSR1, and
// SIGTERM closing it like the close box, with the window position saved.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>

#include "foundation/temp_folder.h"
#include "program_process_helpers.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

std::string lf_read(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(ProgramTest, InstanceSignalsAndClose) {
  platform_test::TempDir root;
  shelltest::InstalledProgram program(root.path());
  std::string why;
  ASSERT_TRUE(program.install(&why)) << why;
  const fs::path png = root.path() / "window.png";
  const pid_t first = program.start({"ZENDRIK_WINDOW_PNG=" + png.string()});
  ASSERT_GT(first, 0);
  ASSERT_TRUE(shelltest::InstalledProgram::waitFor(
      [&] { return program.setting("PROGRAM_VERSION") == "10.10.9"; }))
      << "the settings were never loaded";

  // A second instance ends at once with -1 and leaves the first one's log alone.
  const fs::path log = program.folder() / "Log.txt";
  const std::string logBefore = lf_read(log);
  EXPECT_EQ(program.wait(program.start(), 5s), 255);
  EXPECT_EQ(lf_read(log), logBefore);

  ::kill(first, SIGUSR1);
  EXPECT_TRUE(shelltest::InstalledProgram::waitFor([&] {
    std::error_code error;
    return fs::exists(png, error);  // written whole, through a renamed temporary file
  }));

  ::kill(first, SIGTERM);
  EXPECT_EQ(program.wait(first, 2s), 0);
  EXPECT_EQ(program.setting("MAIN_WINDOW_X"), "400");
  EXPECT_EQ(program.setting("MAIN_WINDOW_Y"), "20");
}

}  // namespace
