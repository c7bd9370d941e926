// Saving the park airport's stands as its learned stand file when the park airport is closed,
// so that the next visit starts from what was learned. Worker thread.
#include <algorithm>
#include <chrono>
#include <ctime>
#include <optional>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "foundation/meta_block.h"
#include "foundation/messages.h"
#include "foundation/strings.h"
#include "platform/paths.h"
#include "traffic/parking/parking.h"

namespace {

// "hh:mm:ss" of the local clock.
std::string lf_localTimeText() {
  const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &now);
#else
  localtime_r(&now, &local);
#endif
  return fmt::format("{:02}:{:02}:{:02}", local.tm_hour, local.tm_min, local.tm_sec);
}

// The stand as the learned file keeps it: without the options of the stand file itself (they
// are read from there again). Nothing is left of a stand without options, flags or corrections.
std::optional<ParkPos> lf_learnedStand(const ParkPos& stand) {
  ParkPos learned = stand;
  std::erase_if(learned.options, [](const ParkPosOption& o) { return o.origin == 1; });
  // What the read left out of the look-ups because the stand file covers it is still learned.
  for (const CoveredOption& covered : g_parkCoveredOptions) {
    const bool present = std::any_of(learned.options.begin(), learned.options.end(),
                                     [&](const ParkPosOption& o) { return gf_sameUse(o, covered.option); });
    if (covered.standId == stand.id && !present) {
      learned.options.push_back(covered.option);
    }
  }
  const bool flagged = learned.cargo || learned.ramp || learned.heli;
  // Stands made by hand and corrected ones carry what the stand file lacks.
  const bool corrected = learned.manual || learned.radius_change || learned.cargo_change;
  if (learned.options.empty() && !flagged && !corrected) {
    return std::nullopt;
  }
  return learned;
}

AirportFile lf_learnedFile() {
  AirportFile file;
  file.ICAO = g_parkAirportIcao;
  file.airport_name = g_parkApfHeader.airport_name;
  file.publisher = g_parkApfHeader.publisher;
  file.altitude = g_parkApfHeader.altitude;
  if (g_parkStandFileHandmade) {
    file.stands = g_parkStands;
    const QfPair qf = gf_qualityFactor();
    file.Qf_real = qf.first;
    file.Qf_soft = qf.second;
    return file;
  }
  for (const ParkPos& stand : g_parkStands) {
    if (std::optional<ParkPos> learned = lf_learnedStand(stand)) {
      file.stands.push_back(std::move(*learned));
    }
  }
  return file;
}

}  // namespace

void lf_saveParkStands() {
  // The one place the stand-file reader looks for it.
  const std::filesystem::path path = gf_learnedApfPath(g_parkApfPath, g_parkApfHeader.publisher);
  // Every missing level is made; a folder that cannot be made is a failed save, never a throw.
  std::error_code error;
  if (!path.has_parent_path()) {
    error = std::make_error_code(std::errc::invalid_argument);
  } else {
    std::filesystem::create_directories(path.parent_path(), error);
  }
  bool saved = false;
  if (!error) {
    g_simulatorName = g_metaP3d.name;
    saved = gf_writeApf(lf_learnedFile(), path, false);
  }
  if (saved) {
    gf_showMessage(fmt::format("{}{} \"{}\" saved with {} update{} {}", lf_localTimeText(),
                               g_parkStandFileHandmade ? " handmade" : "", gf_pathToUtf8(path),
                               g_parkStandUpdates, gf_plural(g_parkStandUpdates),
                               g_standFileParamsChanged.load() ? "and one or more parameter changes" : ""),
                   true);
  } else {
    gf_showMessage(fmt::format("{} saving \"{}\" did not succeed", lf_localTimeText(), gf_pathToUtf8(path)),
                   true);
  }
  g_standFileParamsChanged = false;
}
