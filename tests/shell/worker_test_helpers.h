// The worker on the headless main window with counting fakes behind its seams: what the start-up
// called and in which order, what the closing sequence waited for and showed while waiting,
// and the window message it posted.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/files_test_support.h"
#include "shell/worker_seams.h"
#include "shell_test_helpers.h"

namespace shelltest {

class WorkerTest : public ShellWindowTest {
 public:
  void SetUp() override;
  void TearDown() override;

  // Runs the worker's entry on this thread (it marks it as the worker).
  void runWorker();
  bool called(const std::string& step) const;
  int posted(UINT message) const;

  std::vector<std::string> calls_;    // the fakes' names, in call order
  std::vector<UINT> posts_;           // WM_APP+1 / WM_APP+2
  std::vector<std::string> waits_;    // "<ms>: <status line>" of every wait
  std::vector<std::string> errors_;   // the error line at every wait
  // Called at every wait of the worker (after it is recorded); tests close the window or type
  // an install path here.
  std::function<void(int waitIndex)> onWait_;
  // The fake run: what the run does between start-up and closing.
  std::function<void()> runBody_;

 private:
  platform_test::EnvGuard env_;
  std::filesystem::path savedAppData_;
};

}  // namespace shelltest
