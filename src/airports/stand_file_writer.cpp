// The stand file writer (generated files from the airports scan, learned files of the park
// airport) and the quality factor of the park airport's stands.
#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <fstream>
#include <set>
#include <system_error>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "foundation/log.h"
#include "foundation/meta_block.h"
#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "liveries/database_queries.h"
#include "platform/paths.h"

namespace {

const char* lf_boolText(bool value) { return value ? "true" : "false"; }

// Unique temporary name beside the target, so that two writers never share one.
std::filesystem::path lf_temporaryPath(const std::filesystem::path& path) {
  static std::atomic<std::uint64_t> counter{0};
  std::filesystem::path temporary = path;
  temporary += fmt::format(".{}.tmp", counter.fetch_add(1));
  return temporary;
}

bool lf_appendSettings(pugi::xml_node parameters) {
  return gf_appendIntParameter(parameters, g_paramLateralRange.name, g_paramLateralRange.value()) &&
         gf_appendBoolParameter(parameters, g_paramAutoRange.name, g_paramAutoRange.value()) &&
         gf_appendBoolParameter(parameters, g_paramWeek.name, g_paramWeek.value()) &&
         gf_appendBoolParameter(parameters, g_paramParkFake.name, g_paramParkFake.value()) &&
         gf_appendBoolParameter(parameters, g_paramParkSoft.name, g_paramParkSoft.value()) &&
         gf_appendIntParameter(parameters, g_paramParkingPercentage.name,
                               g_paramParkingPercentage.value()) &&
         gf_appendBoolParameter(parameters, g_paramInitialLoadOnly.name,
                                g_paramInitialLoadOnly.value()) &&
         gf_appendIntParameter(parameters, g_paramMaxFit.name, g_paramMaxFit.value()) &&
         gf_appendIntParameter(parameters, g_paramMaxLive.name, g_paramMaxLive.value()) &&
         gf_appendBoolParameter(parameters, g_paramLearnSoft.name, g_paramLearnSoft.value());
}

// Sets the attribute to the value in fixed notation with the given decimals, as "{:.Nf}" writes
// it: std::to_chars rounds alike and builds no string, and a scan writes four numbers for each of
// tens of thousands of stands. What does not fit (non-finite, huge) keeps fmt's spelling.
void lf_setFixed(pugi::xml_attribute attribute, double value, int decimals) {
  std::array<char, 64> text{};
  const std::to_chars_result r = std::to_chars(text.data(), text.data() + text.size() - 1, value,
                                               std::chars_format::fixed, decimals);
  if (std::isfinite(value) && r.ec == std::errc()) {
    *r.ptr = '\0';
    attribute.set_value(text.data());
  } else {
    attribute.set_value(fmt::format("{:.{}F}", value, decimals).c_str());
  }
}

// A generated file is never a handmade one, whatever the park airport's file was.
bool lf_handmade(bool generated) { return !generated && g_parkStandFileHandmade; }

}  // namespace

bool lf_writeApfHeader(pugi::xml_document& document, const AirportFile& file, bool generated) {
  pugi::xml_node parameters = document.append_child("parameters");
  if (!parameters) {
    return false;
  }
  const bool handmade = lf_handmade(generated);
  bool ok = gf_appendStringParameter(parameters, "airport_name", file.airport_name) &&
            gf_appendStringParameter(parameters, "publisher", file.publisher);
  if (ok && handmade) {
    ok = gf_appendBoolParameter(parameters, "handmade", true);
  }
  if (ok && (handmade || generated)) {
    ok = gf_appendIntParameter(parameters, "altitude", file.altitude);
  }
  ok = ok && gf_appendIntParameter(parameters, "num_parkpos", static_cast<int>(file.stands.size()));
  if (ok && handmade) {
    ok = gf_appendIntParameter(parameters, "Qf_real", file.Qf_real) &&
         gf_appendIntParameter(parameters, "Qf_soft", file.Qf_soft);
  }
  if (ok && file.publisher == "unknown") {
    ok = gf_appendStringParameter(parameters, "BGLpath", file.BGLpath);
  }
  if (ok && !generated) {
    ok = lf_appendSettings(parameters);
  }
  return ok;
}

void lf_writeParkPosOptions(pugi::xml_node parkpos, const ParkPosOption& option) {
  if (option.id == 0) {
    return;
  }
  pugi::xml_node opt = parkpos.append_child("opt");
  opt.append_attribute("reg") = option.reg.c_str();
  if (option.reg.empty() || !gf_regInfo(option.reg)) {
    opt.append_attribute("airl") = option.airline.c_str();
    opt.append_attribute("type") = option.type.c_str();
  }
  if (option.real == 0) {
    opt.append_attribute("soft") = "true";
  }
  opt.append_attribute("day") = option.day;
  opt.append_attribute("hh") = gf_bitset2hours(option.hh).c_str();
  std::string cs = option.cs;
  if (!option.cs2.empty()) {
    cs += ":" + option.cs2;
  }
  if (!cs.empty()) {
    opt.append_attribute("cs") = cs.c_str();
  }
}

void lf_writeParkPos(pugi::xml_node parkpositions, const ParkPos& stand, bool generated) {
  pugi::xml_node parkpos = parkpositions.append_child("parkpos");
  parkpos.append_attribute("id") = stand.id.c_str();
  // A handmade file replaces the stand file, so every stand it keeps needs its position: the
  // changes form is only for a file merged over the stand file that holds the stand.
  const bool whole = generated || stand.manual || g_parkStandFileHandmade;
  const bool changes = !whole && (stand.radius_change || stand.cargo_change);
  const bool full = whole;
  if (full) {
    lf_setFixed(parkpos.append_attribute("latitude"), stand.lat, 6);
    lf_setFixed(parkpos.append_attribute("longitude"), stand.lon, 6);
    lf_setFixed(parkpos.append_attribute("heading"), stand.heading * kRadToDeg, 1);
    lf_setFixed(parkpos.append_attribute("radius"), stand.radius * kMetresPerNm, 1);
    if (stand.heli) {
      parkpos.append_attribute("heli") = "true";
    } else {
      parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
    }
    parkpos.append_attribute("ramp") = lf_boolText(stand.ramp);
    if (stand.manual) {
      parkpos.append_attribute("manual") = "true";
    }
  } else if (changes) {
    if (stand.radius_change) {
      parkpos.append_attribute("radius_change") = "true";
      lf_setFixed(parkpos.append_attribute("radius"), stand.radius * kMetresPerNm, 1);
    }
    if (stand.cargo_change) {
      parkpos.append_attribute("cargo_change") = "true";
      parkpos.append_attribute("cargo") = lf_boolText(stand.cargo);
    }
  }
  if (!generated) {
    for (const ParkPosOption& option : stand.options) {
      lf_writeParkPosOptions(parkpos, option);
    }
  }
}

bool gf_writeApf(const AirportFile& file, const std::filesystem::path& path, bool generated) {
  pugi::xml_document document;
  if (!gf_writeMeta(document) || !lf_writeApfHeader(document, file, generated)) {
    return false;
  }
  pugi::xml_node parkpositions = document.append_child("parkpositions");
  for (const ParkPos& stand : file.stands) {
    lf_writeParkPos(parkpositions, stand, generated);
  }
  // A file that is there but cannot be read was never learned from: replacing it would lose it.
  std::error_code missing;
  if (std::filesystem::exists(path, missing) && !std::ifstream(path, std::ios::binary)) {
    gf_logError(fmt::format("{} cannot be read, it is left as it is", gf_pathToUtf8(path)));
    return false;
  }
  // Written beside the target and renamed over it, so that no reader ever sees half a file.
  const std::filesystem::path temporary = lf_temporaryPath(path);
  if (!document.save_file(temporary.c_str())) {
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    return false;
  }
  std::error_code error;
  std::filesystem::rename(temporary, path, error);
  if (error) {
    std::filesystem::remove(temporary, error);
    return false;
  }
  return true;
}

namespace {

struct OptionScore {
  double count = 0.0;
  std::set<std::uint32_t> days;
  double slots = 0.0;

  double score() const {
    constexpr double kPerOption = 20.0, kMaxOptions = 4000.0, kBase = 10000.0;
    constexpr double kPerDay = 100.0, kPerSlot = 2.0, kMaxSlots = 600.0;
    return std::min(count * kPerOption, kMaxOptions) + kBase + kPerDay * days.size() +
           kPerSlot * std::min(slots, kMaxSlots);
  }
};

std::int32_t lf_qfValue(double sum, double weights) {
  constexpr double kScale = 0.00625;
  const double value = std::round(sum / weights * kScale);  // halves away from zero
  return static_cast<std::int32_t>(std::clamp(value, 0.0, 100.0));
}

double lf_standWeight(double radiusNm) {
  // Compared in nautical miles as held, so ordinary stands all weigh 0.3.
  if (radiusNm <= 7.0) {
    return static_cast<double>(0.3f);
  }
  return radiusNm <= 10.0 ? 1.5 : 1.0;
}

}  // namespace

QfPair gf_qualityFactor() {
  try {
    const bool anyOption = std::any_of(g_parkStands.begin(), g_parkStands.end(),
                                       [](const ParkPos& s) { return !s.options.empty(); });
    if (!anyOption) {
      return {-1, -1};
    }
    double weights = 0.0, realSum = 0.0, softSum = 0.0;
    for (const ParkPos& stand : g_parkStands) {
      const double w = lf_standWeight(stand.radius);
      weights += w;
      OptionScore real, soft;
      for (const ParkPosOption& option : stand.options) {
        if (option.id == 0) {
          continue;
        }
        OptionScore& score = option.real != 0 ? real : soft;
        score.count += 1.0;
        if (option.day >= 1 && option.day <= 7) {
          score.days.insert(option.day);
        }
        score.slots += static_cast<double>(option.hh.count());
      }
      if (real.count > 0) {
        realSum += w * real.score();
      }
      if (soft.count > 0) {
        softSum += w * soft.score();
      }
    }
    if (!(weights > 0.0)) {
      return {0, 0};
    }
    return {lf_qfValue(realSum, weights), lf_qfValue(softSum, weights)};
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} {}", "gf_qualityFactor", e.what()));
    return {0, 0};
  }
}

std::string lf_qfText(const QfPair& qf) {
  constexpr std::int32_t kGoodQf = 45;
  if (qf.first < 0 && qf.second < 0) {
    return "  ";
  }
  if (qf.first < kGoodQf) {
    return fmt::format("{:2}/{:2}", qf.first, qf.second);
  }
  return fmt::format("{:2}", qf.first);
}
