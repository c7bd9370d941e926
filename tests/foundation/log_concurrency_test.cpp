// Log.txt with eight writer threads while another thread opens and closes the log three times:
// every line in Log.txt, Log0.txt and Log00.txt is whole, and each writer's lines keep their order.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <charconv>
#include <optional>
#include <string_view>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "foundation/log.h"
#include "foundation/run_state.h"
#include "foundation/temp_folder.h"

namespace {

constexpr int kWriters = 8;
const std::string kPadding(40, 'x');

struct WriterLine {
  int writer;
  long n;
};

// "<prefix>writer <w> line <n> <40 x>" with one of the three prefixes, and nothing else.
std::optional<WriterLine> lf_parseLine(std::string_view line) {
  for (std::string_view prefix : {"===> ", "          ", ""}) {
    if (line.substr(0, prefix.size()) == prefix &&
        line.substr(prefix.size(), 7) == "writer ") {
      line.remove_prefix(prefix.size() + 7);
      break;
    }
  }
  WriterLine parsed{};
  auto [p, ec] = std::from_chars(line.data(), line.data() + line.size(), parsed.writer);
  if (ec != std::errc{} || parsed.writer < 0 || parsed.writer >= kWriters) return std::nullopt;
  line.remove_prefix(static_cast<std::size_t>(p - line.data()));
  if (line.substr(0, 6) != " line ") return std::nullopt;
  line.remove_prefix(6);
  auto [q, ec2] = std::from_chars(line.data(), line.data() + line.size(), parsed.n);
  if (ec2 != std::errc{}) return std::nullopt;
  line.remove_prefix(static_cast<std::size_t>(q - line.data()));
  if (line != " " + kPadding) return std::nullopt;
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
