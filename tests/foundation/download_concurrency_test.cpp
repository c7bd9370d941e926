// Transfers that stall: the stall timeout and the exit request end them. The server, curl and
// the thread that asks for the exit run side by side.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "foundation/download.h"
#include "foundation/run_state.h"
#include "http_server_helpers.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

class StalledDownloadTest : public ::testing::Test {
 protected:
  void SetUp() override { g_exitRequested = false; }
  void TearDown() override {
    ::unsetenv("ZENDRIK_DOWNLOAD_STALL_TIMEOUT");
    g_exitRequested = false;
  }
  TempWorkingFolder m_work;
};

}  // namespace

TEST_F(StalledDownloadTest, StalledServerFailsWithinTheStallTimeout) {
  ::setenv("ZENDRIK_DOWNLOAD_STALL_TIMEOUT", "1", 1);
  StallingHttpServer server(100000);
  curlHolder holder;
  EXPECT_FALSE(gf_download(holder, server.url(), "stall.bin", true));
  EXPECT_FALSE(fs::exists("stall.bin"));
  EXPECT_FALSE(fs::exists("stall.bin.part"));
}

TEST_F(StalledDownloadTest, ExitRequestAbortsAStalledTransfer) {
  StallingHttpServer server(100000);  // default stall timeout: only the exit request ends it
  std::thread closer([] {
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    g_exitRequested = true;
  });
  curlHolder holder;
  EXPECT_FALSE(gf_download(holder, server.url(), "stall.bin", true));
  closer.join();
  EXPECT_FALSE(fs::exists("stall.bin.part"));
}
