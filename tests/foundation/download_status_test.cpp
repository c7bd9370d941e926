// What a download server may answer besides the file: redirects, other statuses, and a version
// file far too large, against a scripted server on the loopback.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "foundation/download.h"
#include "foundation/log.h"
#include "foundation/self_update.h"
#include "foundation/version.h"
#include "http_server_helpers.h"
#include "settings_reset.h"
#include "temp_folder.h"

namespace fs = std::filesystem;
using Script = ScriptedHttpServer::Script;

namespace {

const std::string kZipBytes = "PK\x03\x04 the real archive";
const std::string kHtml = "<html><body>Moved to <a href=\"/elsewhere\">here</a></body></html>";

std::string lf_answer(const std::string& head, const std::string& body = kHtml) {
  return ScriptedHttpServer::response(head, body);
}

struct StatusCase {
  const char* label;
  Script script;       // the server; the download asks for "/dbase.zip"
  bool downloaded;     // true: dbase.zip holds kZipBytes
  const char* logged;  // part of the failure line, "" when none
};

const std::vector<StatusCase> kStatusCases = {
    {"plain 200", {{"/dbase.zip", lf_answer("HTTP/1.1 200 OK", kZipBytes)}}, true, ""},
    {"302 to the file",
     {{"/dbase.zip", lf_answer("HTTP/1.1 302 Found\r\nLocation: /mirror/dbase.zip")},
      {"/mirror/dbase.zip", lf_answer("HTTP/1.1 200 OK", kZipBytes)}},
     true, ""},
    {"302 to a missing page",
     {{"/dbase.zip", lf_answer("HTTP/1.1 302 Found\r\nLocation: /gone")}},
     false, "HTTP status 404"},
    {"302 without a location",
     {{"/dbase.zip", lf_answer("HTTP/1.1 302 Found")}}, false, "HTTP status 302"},
    {"301 loop",
     {{"/dbase.zip", lf_answer("HTTP/1.1 301 Moved Permanently\r\nLocation: /dbase.zip")}},
     false, "redirect"},
    {"204 no content", {{"/dbase.zip", lf_answer("HTTP/1.1 204 No Content", "")}}, false,
     "HTTP status 204"},
    {"203 other source", {{"/dbase.zip", lf_answer("HTTP/1.1 203 Non-Authoritative", kHtml)}},
     false, "HTTP status 203"},
};

class DownloadStatusTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gf_testResetRunState();
    gf_openLog();
  }
  void TearDown() override {
    gf_closeLog();
    ::unsetenv("ZENDRIK_DOWNLOAD_URL");
  }
  std::string log() {
    gf_closeLog();
    return gf_testReadAll(m_work.path() / "Log.txt");
  }
  TempWorkingFolder m_work;
};

}  // namespace

TEST_F(DownloadStatusTest, OnlyAFinal200IsTheFile) {
  for (const StatusCase& c : kStatusCases) {
    SCOPED_TRACE(c.label);
    ScriptedHttpServer server(c.script);
    gf_testWriteFile("dbase.zip", "previous");
    curlHolder holder;
    EXPECT_EQ(gf_download(holder, server.url() + "dbase.zip", "dbase.zip", true), c.downloaded);
    EXPECT_EQ(gf_testReadAll("dbase.zip"), c.downloaded ? kZipBytes : "previous");
    EXPECT_FALSE(fs::exists("dbase.zip.part"));
  }
  const std::string text = log();
  for (const StatusCase& c : kStatusCases) {
    if (*c.logged != '\0') {
      EXPECT_NE(text.find(c.logged), std::string::npos) << c.label;
    }
  }
}

TEST_F(DownloadStatusTest, RedirectedHtmlPageNeverBecomesTheDatabase) {
  ScriptedHttpServer server({{"/dbase.zip", lf_answer("HTTP/1.1 302 Found")}});
  ::setenv("ZENDRIK_DOWNLOAD_URL", server.url().c_str(), 1);
  gf_testWriteFile("temp2.xml", "<dbase/>");
  EXPECT_FALSE(gf_downloadDbase("temp2.xml"));
  EXPECT_FALSE(fs::exists("dbase.zip"));
  EXPECT_NE(log().find("downloading dbase.zip failed?"), std::string::npos);
}

TEST_F(DownloadStatusTest, OversizedVersionFileIsRefusedNotReadWhole) {
  const std::string huge = "10.10.10\n" + std::string(1 << 20, ' ');
  ScriptedHttpServer server({{"/release/version_P3D.json", lf_answer("HTTP/1.1 200 OK", huge)}});
  ::setenv("ZENDRIK_DOWNLOAD_URL", server.url().c_str(), 1);
  EXPECT_EQ(gf_remoteVersion(), Version());
  EXPECT_FALSE(fs::exists("version.json"));
  EXPECT_FALSE(fs::exists("version.json.part"));
  EXPECT_NE(log().find("larger than 16384 bytes"), std::string::npos);

  ScriptedHttpServer small(
      {{"/release/version_P3D.json", lf_answer("HTTP/1.1 200 OK", "10.10.10\n")}});
  ::setenv("ZENDRIK_DOWNLOAD_URL", small.url().c_str(), 1);
  EXPECT_EQ(gf_remoteVersion(), Version(std::string_view("10.10.10")));
}
