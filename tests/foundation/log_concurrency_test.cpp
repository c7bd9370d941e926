// Log.txt with eight writer threads while another thread opens and closes the log three times:
// every line in Log.txt, Log0.txt and Log00.txt is whole, and each writer's lines keep their order.
#include <fmt/format.h>
#include <gtest/gtest.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <optional>
#include <regex>
#include <thread>
#include <vector>

#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/temp_folder.h"

namespace {

constexpr int kWriters = 8;  // writers 0 to 7
const std::string kPadding(40, 'x');

struct WriterLine {
  int writer;
  long n;
};

// "<prefix>writer <w> line <n> <40 x>" with one of the three prefixes, and nothing else.
std::optional<WriterLine> lf_parseLine(const std::string& line) {
  static const std::regex kShape("(===> |          )?writer ([0-7]) line ([0-9]+) " + kPadding);
  std::smatch parts;
  if (!std::regex_match(line, parts, kShape)) return std::nullopt;
  const std::string n = parts[3].str();
  WriterLine parsed{parts[2].str()[0] - '0', 0};
  std::from_chars(n.data(), n.data() + n.size(), parsed.n);
  return parsed;
}

bool lf_isHeader(const std::string& line) {
  // "Sun Dec 06 21:35:25 2026 (utc) Zendrik_P3D version 10.10.9 for Prepar3D v5/v6"
  return line.size() > 24 &&
         line.substr(24) == " (utc) Zendrik_P3D version 10.10.9 for Prepar3D v5/v6";
}

TEST(LogConcurrencyTest, EveryLineIsWholeWhileWritersRaceOpeningsAndClosings) {
  TempWorkingFolder folder;
  gf_closeLog();
  std::atomic<bool> done{false};
  std::vector<std::thread> writers;
  for (int w = 0; w < kWriters; ++w) {
    writers.emplace_back([w, &done] {
      for (int n = 0; !done.load(); ++n) {
        const std::string payload = fmt::format("writer {} line {} {}", w, n, kPadding);
        switch (n % 4) {
          case 0: gf_log(payload); break;
          case 1: gf_logError(payload); break;
          case 2: gf_logIndented(payload); break;
          default: gf_logIfActive(payload); break;
        }
      }
    });
  }
  std::thread closer([] {
    for (int run = 0; run < 3; ++run) {
      gf_openLog();
      std::this_thread::sleep_for(std::chrono::milliseconds(30));
      g_stopRequested.store(true);  // gf_logIfActive goes quiet for a moment
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
      g_stopRequested.store(false);
      gf_closeLog();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  closer.join();
  done.store(true);
  for (auto& t : writers) {
    t.join();
  }

  for (const char* name : {"Log.txt", "Log0.txt", "Log00.txt"}) {
    const auto lines = gf_testReadLines(name);
    ASSERT_FALSE(lines.empty()) << name;
    EXPECT_TRUE(lf_isHeader(lines.front())) << name << ": " << lines.front();
    std::vector<long> lastLine(kWriters, -1);
    std::size_t writerLines = 0;
    for (std::size_t i = 1; i < lines.size(); ++i) {
      const auto parsed = lf_parseLine(lines[i]);
      ASSERT_TRUE(parsed.has_value()) << name << " line " << i << ": " << lines[i];
      auto& last = lastLine[static_cast<std::size_t>(parsed->writer)];
      EXPECT_GT(parsed->n, last) << name << " line " << i;
      last = parsed->n;
      ++writerLines;
    }
    EXPECT_GT(writerLines, 0u) << name;
  }
  gf_log("after the last close");  // dropped, no crash
  EXPECT_FALSE(gf_logIsOpen());
}

}  // namespace
