// Downloads, unzip and the self-update check against a real HTTP server on the loopback.
#include "foundation/download.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/self_update.h"
#include "http_server_helpers.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

// The program folder as a user's settings hold it, and the installer's path in it; the unzipped
// database text, written in text mode, ends its lines as the platform does.
#ifdef _WIN32
const std::string kInstallPath = "C:\\Zendrik P3D";
const std::string kInstallerPath = "C:\\Zendrik P3D\\install_new_version.exe";
const std::string kEol = "\r\n";
#else
const std::string kInstallPath = "/opt/Zendrik P3D";
const std::string kInstallerPath = "/opt/Zendrik P3D/install_new_version.exe";
const std::string kEol = "\n";
#endif

std::string lf_randomBytes(std::size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(count, '\0');
  for (char& c : bytes) c = static_cast<char>(rng() & 0xFF);
  return bytes;
}

// A working folder with an open log, a server folder beside it and the server over it.
class DownloadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gf_testResetRunState();
    fs::create_directories(m_serverRoot / "release");
    gf_openLog();
  }

  void TearDown() override {
    gf_closeLog();
    ::unsetenv("ZENDRIK_DOWNLOAD_URL");
    ::unsetenv("ZENDRIK_DOWNLOAD_STALL_TIMEOUT");
    g_exitRequested = false;
    gf_testResetSettings();
  }

  // Starts the server over the fixture folder as it stands and points downloads at it.
  // False when the server cannot listen here; the test is then skipped.
  bool startServer() {
    m_server = std::make_unique<LocalHttpServer>(m_serverRoot);
    if (!m_server->running()) return false;
    ::setenv("ZENDRIK_DOWNLOAD_URL", m_server->url().c_str(), 1);
    return true;
  }

  void serve(const std::string& relative, const std::string& content) {
    fs::create_directories((m_serverRoot / relative).parent_path());
    gf_testWriteFile(m_serverRoot / relative, content);
  }

  void serveZip(const std::string& relative,
                const std::vector<std::pair<std::string, std::string>>& entries) {
    fs::create_directories((m_serverRoot / relative).parent_path());
    gf_testWriteZip(m_serverRoot / relative, entries);
  }

  std::vector<std::string> logLines() const { return gf_testReadLines(m_work.path() / "Log.txt"); }

  // Files in the working folder that a download may leave behind.
  std::vector<std::string> leftovers() const {
    std::vector<std::string> found;
    for (const auto& entry : fs::directory_iterator(m_work.path())) {
      const std::string name = entry.path().filename().string();
      const std::string ext = entry.path().extension().string();
      if (ext == ".zip" || ext == ".part" || name == "version.json") found.push_back(name);
    }
    return found;
  }

  TempWorkingFolder m_work;
  fs::path m_serverRoot = m_work.path() / "server";
  std::unique_ptr<LocalHttpServer> m_server;
};

constexpr const char* kNoServer = "the local HTTP server could not be started";
const std::string kSetupZip = "release/setup_Zendrik_P3D_d_v10.10.10.zip";

}  // namespace

TEST_F(DownloadTest, NewerVersionLeavesTheInstallerAndStopsWithItsMessage) {
  // Larger than one read chunk, so the installer is assembled from several pieces.
  const std::string installer = lf_randomBytes(1300000, 7);
  serve("release/version_P3D.json", "10.10.10\n");
  serveZip(kSetupZip,
           {{"docs/", ""}, {"readme.txt", "read me"}, {"Zendrik_P3D_setup.exe", installer}});
  if (!startServer()) GTEST_SKIP() << kNoServer;
  g_paramProgramInstallPath.setValue(kInstallPath);

  try {
    gf_checkNewVersion();
    FAIL() << "a newer version must end the run";
  } catch (const qvb::UserErrorException& e) {
    EXPECT_EQ(e.what(), "New version 10.10.10 available, exit Zendrik_P3D. Run as administrator: \"" +
                            kInstallerPath + "\"");
  }
  EXPECT_EQ(gf_testReadAll("install_new_version.exe"), installer);
  EXPECT_TRUE(leftovers().empty()) << ::testing::PrintToString(leftovers());
  const auto lines = logLines();
  EXPECT_TRUE(gf_testHasLine(lines, "downloaded setup_Zendrik_P3D_d_v10.10.10.zip"));
  EXPECT_TRUE(gf_testHasLine(
      lines, "setup_Zendrik_P3D_d_v10.10.10.zip unzipped to install_new_version.exe"));
}

TEST_F(DownloadTest, EqualOrOlderVersionDoesNothingAndJsonVersionsRead) {
  serveZip("release/setup_Zendrik_P3D_d_v10.10.9.zip", {{"setup.exe", "x"}});
  serveZip("release/setup_Zendrik_P3D_d_v10.9.20.zip", {{"setup.exe", "x"}});
  if (!startServer()) GTEST_SKIP() << kNoServer;
  for (const char* version : {"10.10.9", "10.9.20"}) {
    serve("release/version_P3D.json", version);
    EXPECT_NO_THROW(gf_checkNewVersion()) << version;
    EXPECT_FALSE(fs::exists("install_new_version.exe")) << version;
  }
  serve("release/version_P3D.json", "{\n  \"major\": 10,\n  \"minor\": 11,\n  \"patch\": 0\n}\n");
  EXPECT_EQ(gf_remoteVersion(), Version(10, 11, 0));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(DownloadTest, MissingVersionFileIsLoggedAndStartUpGoesOn) {
  if (!startServer()) GTEST_SKIP() << kNoServer;
  EXPECT_NO_THROW(gf_checkNewVersion());
  // A file that came but names no version (a proxy's or hotel network's page) says what it holds.
  serve("release/version_P3D.json", "\r\n<!DOCTYPE html>\r\n<html><body>Sign in</body></html>\r\n");
  EXPECT_NO_THROW(gf_checkNewVersion());
  const std::string url = m_server->url() + "release/version_P3D.json";
  const auto lines = logLines();
  EXPECT_TRUE(gf_testHasLine(lines, "===> downloading \"" + url + "\" failed"));
  EXPECT_TRUE(gf_testHasLine(lines, "===> Program Version file not found?"));
  EXPECT_TRUE(gf_testHasLine(lines, "===> Program Version file not found?: \"" + url +
                                        "\" holds no version: \"<!DOCTYPE html>\""));
  EXPECT_TRUE(leftovers().empty());
}

TEST_F(DownloadTest, MissingOrAmbiguousInstallerKeepsTheRunningVersion) {
  serve("release/version_P3D.json", "11.0.0");
  if (!startServer()) GTEST_SKIP() << kNoServer;
  gf_testWriteFile("install_new_version.exe", "older installer");
  EXPECT_NO_THROW(gf_checkNewVersion());  // no archive on the server
  EXPECT_EQ(
      g_mainWindowState.text(&MainWindowState::statusText),
      "The downloading/unzipping of the new version failed? Try manually via Ulvabrook website");

  // An archive with two programs names no installer: nothing is taken from it.
  serveZip("release/setup_Zendrik_P3D_d_v11.0.0.zip", {{"a.exe", "a"}, {"b.EXE", "b"}});
  EXPECT_NO_THROW(gf_checkNewVersion());
  EXPECT_EQ(gf_testReadAll("install_new_version.exe"), "older installer");
  EXPECT_TRUE(leftovers().empty());
  const auto lines = logLines();
  EXPECT_TRUE(gf_testHasLine(lines, "Downloading program installer file version 11.0.0 failed"));
}

TEST_F(DownloadTest, DatabaseArchiveLeavesExactlyItsFileText) {
  auto lines = [](const std::string& eol) {
    return "<?xml version=\"1.0\"?>" + eol + "<dbase>" + eol + "\t<types/>" + eol + "</dbase>" + eol;
  };
  const std::string xml = lines("\n");
  serveZip("dbase.zip", {{"data/", ""}, {"data/dbase.xml", xml}});
  serveZip("AIG-regcodes.zip", {{"AIG-regcodes.xml", "<regcodes/>"}});
  // Written on Windows: its CR LF ends come out as the platform's, never as CR CR LF.
  serveZip("crlf.zip", {{"dbase.xml", lines("\r\n")}});
  if (!startServer()) GTEST_SKIP() << kNoServer;
  fs::create_directories("input");

  EXPECT_TRUE(gf_downloadDbase("input/temp2.xml"));
  EXPECT_EQ(gf_testReadAll("input/temp2.xml"), lines(kEol));
  EXPECT_TRUE(gf_downloadAndUnzip("crlf.zip", "crlf.xml"));
  EXPECT_EQ(gf_testReadAll("crlf.xml"), lines(kEol));
  EXPECT_TRUE(gf_downloadAndUnzip("AIG-regcodes.zip", "input/AIG-regcodes.xml"));
  EXPECT_EQ(gf_testReadAll("input/AIG-regcodes.xml"), "<regcodes/>");
  EXPECT_TRUE(leftovers().empty()) << ::testing::PrintToString(leftovers());
  EXPECT_EQ(std::distance(fs::directory_iterator("input"), fs::directory_iterator()), 2);
}

TEST_F(DownloadTest, FailedOrUnwritableUnzipRemovesTheDestinationAndTheArchive) {
  serve("dbase.zip", "this is not a zip archive");
  serveZip("empty.zip", {{"only_a_folder/", ""}});
  serveZip("good.zip", {{"dbase.xml", "<dbase/>"}});
  if (!startServer()) GTEST_SKIP() << kNoServer;
  gf_testWriteFile("temp2.xml", "stale database");

  EXPECT_FALSE(gf_downloadDbase("temp2.xml"));
  EXPECT_FALSE(fs::exists("temp2.xml"));
  // An archive without a file has nothing to give: a failure, not an empty success.
  EXPECT_FALSE(gf_downloadAndUnzip("empty.zip", "temp2.xml"));
  EXPECT_FALSE(gf_downloadAndUnzip("missing.zip", "temp2.xml"));
  EXPECT_FALSE(gf_downloadAndUnzip("good.zip", "no_such_folder/temp2.xml"));  // unwritable
  EXPECT_TRUE(leftovers().empty()) << ::testing::PrintToString(leftovers());
  const auto lines = logLines();
  EXPECT_TRUE(gf_testHasLine(lines, "===> unzipping dbase.zip failed?"));
  EXPECT_TRUE(gf_testHasLine(lines, "===> unzipping empty.zip failed?"));
  EXPECT_TRUE(gf_testHasLine(lines, "===> downloading missing.zip failed?"));
}

TEST_F(DownloadTest, FailedTransferKeepsThePreviousFileAndLeavesNoPart) {
  serve("P3D/archive/stock/EHAM.xml", "<airport/>");
  if (!startServer()) GTEST_SKIP() << kNoServer;
  curlHolder holder;
  ASSERT_TRUE(
      gf_download(holder, gf_downloadFolderUrl() + "archive/stock/EHAM.xml", "EHAM.xml", false));
  EXPECT_EQ(gf_testReadAll("EHAM.xml"), "<airport/>");
  EXPECT_FALSE(
      gf_download(holder, gf_downloadFolderUrl() + "archive/stock/LFPG.xml", "EHAM.xml", false));
  EXPECT_EQ(gf_testReadAll("EHAM.xml"), "<airport/>");
  EXPECT_FALSE(fs::exists("EHAM.xml.part"));

  EXPECT_FALSE(gf_download(holder, m_server->url() + "P3D/archive/stock/EHAM.xml",
                           "no_such_folder/EHAM.xml", false));
  EXPECT_TRUE(gf_testHasLine(
      logLines(),
      "could not open output file: no_such_folder/EHAM.xml: No such file or directory"));
}

TEST(DownloadUrl, BaseUrlComesFromTheEnvironmentWithATrailingSlash) {
  ::setenv("ZENDRIK_DOWNLOAD_URL", "http://127.0.0.1:1/files", 1);
  EXPECT_EQ(gf_downloadBaseUrl(), "http://127.0.0.1:1/files/");
  EXPECT_EQ(gf_downloadFolderUrl(), "http://127.0.0.1:1/files/P3D/");
  ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  EXPECT_EQ(gf_downloadBaseUrl(), kDownloadBaseUrl);
}
