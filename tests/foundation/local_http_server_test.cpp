// The download tests' file server, asked by curl as the program asks: names with escapes, a
// missing file, a folder, a path that leaves the served folder, HEAD, and several clients at once.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "http_server_helpers.h"
#include "temp_folder.h"

namespace fs = std::filesystem;

namespace {

struct Reply {
  long status = 0;
  std::string body;
  curl_off_t length = -1;  // Content-Length; -1 when none came
};

size_t lf_append(char* data, size_t size, size_t count, void* body) {
  static_cast<std::string*>(body)->append(data, size * count);
  return size * count;
}

// One request; the path goes out as written (no removal of dot segments).
Reply lf_ask(const std::string& url, bool headOnly = false) {
  Reply reply;
  CURL* curl = curl_easy_init();
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_PATH_AS_IS, 1L);
  curl_easy_setopt(curl, CURLOPT_NOBODY, headOnly ? 1L : 0L);
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &lf_append);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &reply.body);
  curl_easy_setopt(curl, CURLOPT_TIMEOUT, 30L);
  if (curl_easy_perform(curl) == CURLE_OK) {
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &reply.status);
    curl_easy_getinfo(curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &reply.length);
  }
  curl_easy_cleanup(curl);
  return reply;
}

// "f<k>", the file of client k.
std::string lf_clientFile(int k) {
  std::string name = "f";
  name += std::to_string(k);
  return name;
}

std::string lf_clientBytes(int k) {
  return std::string(300000 + static_cast<std::size_t>(k), static_cast<char>('a' + k));
}

void lf_write(const fs::path& file, const std::string& bytes) {
  fs::create_directories(file.parent_path());
  gf_testWriteFile(file, bytes);
}

class LocalHttpServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    lf_write(m_root / "dir" / "a b.txt", "spaced");
    lf_write(m_folder.path() / "secret.txt", "outside");
    ASSERT_TRUE(m_server.running());
  }

  TempWorkingFolder m_folder;
  fs::path m_root = m_folder.path() / "served";
  LocalHttpServer m_server{m_root};
};

TEST_F(LocalHttpServerTest, AnswersWhatIsBelowTheFolderOnly) {
  struct Case {
    const char* path;
    long status;
    std::string body;
  };
  const Case cases[] = {
      {"dir/a%20b.txt", 200, "spaced"},
      {"dir/a%20b.txt?v=2", 200, "spaced"},
      {"dir/missing.txt", 404, ""},
      {"dir", 404, ""},
      {"dir/", 404, ""},
      {"../secret.txt", 404, ""},
      {"dir/..%2F..%2Fsecret.txt", 404, ""},
      {"dir/a%2", 404, ""},
  };
  for (const Case& c : cases) {
    const Reply reply = lf_ask(m_server.url() + c.path);
    EXPECT_EQ(reply.status, c.status) << c.path;
    EXPECT_EQ(reply.body, c.body) << c.path;
  }
}

TEST_F(LocalHttpServerTest, HeadGivesTheLengthAndNoBody) {
  const Reply reply = lf_ask(m_server.url() + "dir/a%20b.txt", true);
  EXPECT_EQ(reply.status, 200);
  EXPECT_EQ(reply.length, 6);
  EXPECT_EQ(reply.body, "");
}

// Clients that come together wait in the backlog and each gets its whole file.
TEST_F(LocalHttpServerTest, ClientsAtOnceEachGetTheirFile) {
  constexpr int kClients = 6;
  for (int k = 0; k < kClients; ++k) {
    lf_write(m_root / lf_clientFile(k), lf_clientBytes(k));
  }
  std::vector<Reply> replies(kClients);
  std::vector<std::thread> clients;
  for (int k = 0; k < kClients; ++k) {
    clients.emplace_back([&, k] { replies[k] = lf_ask(m_server.url() + lf_clientFile(k)); });
  }
  for (std::thread& client : clients) client.join();
  for (int k = 0; k < kClients; ++k) {
    EXPECT_EQ(replies[k].status, 200) << k;
    EXPECT_EQ(replies[k].body, lf_clientBytes(k)) << k;
  }
}

}  // namespace
