// Matching failures and the livery matching summary. Worker thread only.

#include "liveries/match_summary.h"

#include <fmt/format.h>

#include <algorithm>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/parameters.h"
#include "foundation/run_state.h"
#include "foundation/strings.h"

std::vector<std::string> g_failedLiveries;
std::list<std::string> g_notCreated;
std::set<std::string> g_noMatches;
std::array<std::int32_t, 6> g_matchSteps{};

namespace {

constexpr char kSimShortName[] = "P3D";
constexpr char kSummaryTitle[] = "live traffic livery matching summary";
constexpr int kSummaryBannerWidth = 64;  // 100 less the title's 36 characters
constexpr int kSummaryTitleWidth = 36;
constexpr std::size_t kSummaryLineRoom = 256;
constexpr int kFailureCode = 81;

}  // namespace

bool gf_isFailedLivery(std::string_view title) {
  return std::find(g_failedLiveries.begin(), g_failedLiveries.end(), title) !=
         g_failedLiveries.end();
}

void gf_liveryNotCreated(const LiveryTarget& aircraft) {
  if (g_stopRequested.load() || g_exitRequested.load()) return;
  gf_showMessage(fmt::format("{} \"{}\" could not be created by your Sim!", aircraft.callsign,
                             aircraft.livery),
                 true);
  g_failedLiveries.emplace_back(aircraft.livery);
  g_notCreated.push_front(aircraft.type + " " + aircraft.airline);
  if (g_failedLiveries.size() < kMaxFailedLiveries) return;
  const std::string reason =
      fmt::format("there are too many liveries that could not be created by {}!", kSimShortName);
  gf_log(fmt::format("\n{}Error 81, {}\n", "===> ", reason));
  throw qvb::UserErrorException(kFailureCode, fmt::format("{}, see Log.txt", reason));
}

std::vector<std::string> gf_notCreatedLines() {
  g_notCreated.sort();
  g_notCreated.unique();
  std::vector<std::string> lines;
  lines.reserve(g_notCreated.size());
  for (const std::string& entry : g_notCreated) lines.push_back("  " + entry);
  return lines;
}

void gf_logNoMatches() {
  if (g_noMatches.empty() || !g_paramLog.value()) return;
  // One block, so that lines of other threads cannot fall between its lines.
  std::string block = "\nNo match found for: ";
  for (const std::string& entry : g_noMatches) block += "\n" + entry;
  block += "\n";
  gf_log(block);
}

void gf_matchingSummary() {
  const std::vector<std::string> notCreated = gf_notCreatedLines();
  std::vector<std::string> lines;
  lines.reserve(kSummaryLineRoom);
  lines.push_back(gf_banner(kSummaryBannerWidth, 0, true, false, kSummaryTitle));
  lines.emplace_back("Matches at step: ");
  for (std::size_t step = 1; step <= g_matchSteps.size(); ++step)
    lines.push_back(fmt::format("  {}: {}", step, g_matchSteps[step - 1]));
  if (!notCreated.empty()) {
    lines.push_back(fmt::format("\nCould not be created by {}:", kSimShortName));
    lines.insert(lines.end(), notCreated.begin(), notCreated.end());
  }
  lines.push_back(gf_banner(kSummaryBannerWidth, kSummaryTitleWidth, false, false, ""));
  std::string block;
  for (const std::string& line : lines) {
    if (!block.empty()) block += '\n';
    block += line;
  }
  gf_log(block);
}
