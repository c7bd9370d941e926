// Loading and replaying a traffic recording over UDP, and the stand-in's line log.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <stdexcept>
#include <string_view>

#include "platform/paths.h"
#include "rt-standin/rt_standin.h"

namespace rtstandin {
namespace {

constexpr std::size_t kStampField = 14;
constexpr auto kStopSlice = std::chrono::milliseconds(50);
// Longest wait for one record (a year): a wild time stamp in a recording must not overflow
// the clock's integer nanoseconds.
constexpr double kMaxOffsetSeconds = 365.0 * 86400.0;

// Start and length of field `index` of a comma-separated record, if it has one.
std::optional<std::pair<std::size_t, std::size_t>> lf_fieldSpan(std::string_view record,
                                                                std::size_t index) {
  std::size_t start = 0;
  for (std::size_t i = 0; i < index; ++i) {
    auto comma = record.find(',', start);
    if (comma == std::string_view::npos) return std::nullopt;
    start = comma + 1;
  }
  auto end = record.find(',', start);
  if (end == std::string_view::npos) end = record.size();
  return std::make_pair(start, end - start);
}

std::optional<double> lf_stampOf(std::string_view record) {
  auto span = lf_fieldSpan(record, kStampField);
  if (!span) return std::nullopt;
  double value = 0.0;
  const char* first = record.data() + span->first;
  auto [end, ec] = std::from_chars(first, first + span->second, value);
  if (ec != std::errc() || end == first || !std::isfinite(value)) return std::nullopt;
  return value;
}

double lf_epochNow() {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

// Sleeps until `due`, in slices, unless `stop` is set first. False when stopped.
bool lf_sleepUntil(std::chrono::steady_clock::time_point due, const std::atomic<bool>& stop) {
  while (!stop.load()) {
    auto now = std::chrono::steady_clock::now();
    if (now >= due) return true;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(due - now, kStopSlice));
  }
  return false;
}

sockaddr_in lf_udpAddress(const std::string& host, std::uint16_t port) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
    throw std::runtime_error(fmt::format("cannot resolve UDP host {}", host));
  sockaddr_in address = *reinterpret_cast<sockaddr_in*>(result->ai_addr);
  freeaddrinfo(result);
  address.sin_port = htons(port);
  return address;
}

}  // namespace

Recording loadRecording(const std::string& path) {
  std::ifstream in(gf_pathFromUtf8(path), std::ios::binary);
  if (!in) throw std::runtime_error(fmt::format("cannot read {}", path));
  Recording recording;
  std::string line;
  double lastStamp = 0.0;
  std::optional<std::size_t> firstTraffic;
  while (std::getline(in, line)) {
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    if (line.empty()) continue;
    ReplayRecord record;
    if (line.front() == '{') {
      record.weather = true;
      record.stamp = lastStamp;
    } else if (line.rfind("RTTFC,", 0) == 0) {
      auto stamp = lf_stampOf(line);
      record.stamp = stamp.value_or(lastStamp);
      lastStamp = record.stamp;
      if (!firstTraffic) firstTraffic = recording.records.size();
    } else {
      ++recording.skippedLines;
      continue;
    }
    record.text = std::move(line);
    recording.records.push_back(std::move(record));
  }
  // Weather lines before the first traffic record take its stamp: the replay clock starts at
  // the first line, and a stamp of 0 there would hold the traffic back for years.
  for (std::size_t k = 0; firstTraffic && k < *firstTraffic; ++k) {
    recording.records[k].stamp = recording.records[*firstTraffic].stamp;
  }
  return recording;
}

std::string retimeRecord(const std::string& record, double stamp) {
  auto span = lf_fieldSpan(record, kStampField);
  if (!span || !lf_stampOf(record)) return record;
  std::string result = record;
  result.replace(span->first, span->second, fmt::format("{:.2f}", stamp));
  return result;
}

ReplayReport replay(const Recording& recording, const Options& options,
                    const std::atomic<bool>& stop) {
  ReplayReport report;
  const WinsockUse winsock;
  // Resolved first: a host that cannot be resolved leaves no socket behind.
  const sockaddr_in trafficTo = lf_udpAddress(options.udpHost, options.trafficPort);
  const sockaddr_in weatherTo = lf_udpAddress(options.udpHost, options.weatherPort);
  const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) throw std::runtime_error("cannot create the UDP socket");
  const double firstStamp = recording.records.empty() ? 0.0 : recording.records.front().stamp;
  do {
    const auto start = std::chrono::steady_clock::now();
    for (const auto& record : recording.records) {
      const double offset =
          std::clamp((record.stamp - firstStamp) / options.speed, 0.0, kMaxOffsetSeconds);
      const auto due = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                   std::chrono::duration<double>(offset));
      if (!lf_sleepUntil(due, stop)) break;
      const std::string text =
          record.weather ? record.text : retimeRecord(record.text, lf_epochNow());
      const sockaddr_in& to = record.weather ? weatherTo : trafficTo;
      const int sent = sendto(s, text.data(), text.size(), 0,
                              reinterpret_cast<const sockaddr*>(&to), sizeof(to));
      if (sent != static_cast<int>(text.size()))
        ++report.sendErrors;
      else if (record.weather)
        ++report.weatherSent;
      else
        ++report.trafficSent;
    }
    ++report.rounds;
  } while (options.loop && !stop.load() && !recording.records.empty());
  closesocket(s);
  return report;
}

std::string reportText(const ReplayReport& report, const Received& received,
                       std::size_t skippedLines) {
  return fmt::format(
      "rt-standin: sent {} traffic and {} weather datagrams in {} round(s), {} send errors, "
      "{} lines skipped; received {} version queries, {} Qs121, {} Qs123, {} exit",
      report.trafficSent, report.weatherSent, report.rounds, report.sendErrors, skippedLines,
      received.versionQueries.size(), received.positions.size(), received.simTimes.size(),
      received.exits);
}

LineLog::LineLog(const std::string& path) {
  if (path.empty()) {
    file_ = stdout;
  } else {
    file_ = gf_openFile(gf_pathFromUtf8(path), "a");
    if (file_ == nullptr) throw std::runtime_error(fmt::format("cannot open log {}", path));
    own_ = true;
  }
}

LineLog::~LineLog() {
  if (own_) std::fclose(file_);
}

void LineLog::write(const std::string& line) {
  std::lock_guard lock(mutex_);
  fmt::print(file_, "{:.3f} {}\n", lf_epochNow(), line);
  std::fflush(file_);
}

}  // namespace rtstandin
