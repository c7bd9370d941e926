// Merges the park airport's learned stand file into g_parkStands (worker thread): the settings
// recorded for the airport, stands made by hand, radius and cargo corrections and learned
// options; a handmade file replaces the stands altogether.
#include <algorithm>
#include <set>

#include <fmt/format.h>
#include <pugixml.hpp>

#include "airports/airports.h"
#include "airports/stand_file_internal.h"
#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/messages.h"
#include "foundation/meta_block.h"
#include "foundation/run_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "platform/paths.h"
#include "platform/win32.h"

namespace {

constexpr int kDefaultParkingPercentage = 30;

void lf_showInt(EditParameter& parameter) {
  if (g_settingsShellHooks.showIntParameter != nullptr) {
    g_settingsShellHooks.showIntParameter(parameter);
  }
}

void lf_enableField(GuiControl& control, bool enable) {
  if (HWND field = control.hwnd.load()) {
    EnableWindow(field, enable ? TRUE : FALSE);
  }
}

void lf_logSetting(const std::string& name, const auto& value) {
  gf_logIndented(fmt::format("{:24}: {}", name, value));
}

// Takes the value of a bool setting recorded in the file, ticks its check box and logs it.
bool lf_applyBool(const pugi::xml_document& document, CheckBoxParameter& parameter) {
  const auto value = lf_readBoolParameter(document, parameter.name);
  if (!value) {
    return false;
  }
  if (*value != parameter.value()) {
    g_standFileParamsChanged = true;
  }
  parameter.setValue(*value);
  if (HWND box = parameter.hwnd.load()) {
    SendMessageW(box, BM_SETCHECK, *value ? BST_CHECKED : BST_UNCHECKED, 0);
  }
  lf_logSetting(parameter.name, *value);
  return true;
}

void lf_setInt(IntParameter& parameter, int value) {
  if (value != parameter.value()) {
    g_standFileParamsChanged = true;
  }
  parameter.setValue(value);
}

void lf_applyLateralRange(const pugi::xml_document& document) {
  const auto range = lf_readIntParameter(document, g_paramLateralRange.name);
  if (range) {
    lf_setInt(g_paramLateralRange,
              std::clamp(*range, g_paramLateralRange.minValue, g_paramLateralRange.maxValue));
    // The radius copies take the clamped value, like every other radius writer: the filter
    // must not use a radius the window does not show.
    gf_setTrafficRadius(g_paramLateralRange.value());
    lf_showInt(g_paramLateralRange);
    lf_enableField(g_paramLateralRange, true);
    lf_logSetting(g_paramLateralRange.name, *range);
  }
  if (!lf_applyBool(document, g_paramAutoRange)) {
    return;
  }
  if (g_paramAutoRange.value()) {
    g_lastManualRange = g_paramLateralRange.value();
    if (g_airportsShellHooks.autoRange != nullptr) {
      g_airportsShellHooks.autoRange();
    }
    lf_enableField(g_paramLateralRange, false);
  } else {
    lf_enableField(g_paramLateralRange, true);
    g_paramLateralRange.setValue(g_lastManualRange);
    if (g_airportsShellHooks.setRadius != nullptr) {
      g_airportsShellHooks.setRadius(g_lastManualRange);
    }
    gf_clearMessage();
  }
  lf_showInt(g_paramLateralRange);
}

void lf_applySettings(const pugi::xml_document& document) {
  lf_applyBool(document, g_paramLearnSoft);
  if (const auto maxLive = lf_readIntParameter(document, g_paramMaxLive.name)) {
    lf_setInt(g_paramMaxLive, std::clamp(*maxLive, g_paramMaxLive.minValue, g_paramMaxLive.maxValue));
    lf_logSetting(g_paramMaxLive.name, *maxLive);
  } else {
    lf_setInt(g_paramMaxLive, -1);
  }
  lf_showInt(g_paramMaxLive);
  lf_applyLateralRange(document);
  lf_applyBool(document, g_paramParkFake);
  lf_applyBool(document, g_paramWeek);
  lf_applyBool(document, g_paramParkSoft);
  if (const auto percentage = lf_readIntParameter(document, g_paramParkingPercentage.name)) {
    lf_setInt(g_paramParkingPercentage, *percentage);  // not clamped
    lf_logSetting(g_paramParkingPercentage.name, *percentage);
  } else {
    lf_setInt(g_paramParkingPercentage, kDefaultParkingPercentage);
  }
  lf_showInt(g_paramParkingPercentage);
  lf_applyBool(document, g_paramInitialLoadOnly);
  if (const auto maxFit = lf_readIntParameter(document, g_paramMaxFit.name)) {
    lf_setInt(g_paramMaxFit, std::clamp(*maxFit, g_paramMaxFit.minValue, g_paramMaxFit.maxValue));
    g_paramMaxFitFl.setValue(static_cast<float>(g_paramMaxFit.value()) * 0.5f + 0.5f);
    if (g_airportsShellHooks.showFloatParameter != nullptr) {
      g_airportsShellHooks.showFloatParameter(g_paramMaxFitFl);
    }
    gf_logIndented(fmt::format("{:24}: {} (max number of half hours, is {} hrs decimal)",
                               g_paramMaxFit.name, g_paramMaxFit.value(),
                               gf_float2string(g_paramMaxFitFl.value())));
  }
}

// Copy of an unreadable learned file beside it, "0" before the extension; its name, or "" when
// the file's name has no extension and no copy is made.
std::string lf_keepBrokenCopy(const std::filesystem::path& path) {
  const std::string text = gf_pathToUtf8(path);
  const auto dot = text.rfind('.');
  if (dot == std::string::npos) {
    return {};
  }
  const std::string copy = text.substr(0, dot) + "0" + text.substr(dot);
  gf_copyFileOver(path, gf_pathFromUtf8(copy));
  return copy;
}

// A damaged learned file is copied beside it, since the next save replaces it. One that cannot
// be read has nothing to copy: it is named with the reason and left as it is.
void lf_learnedNotLoaded(const std::filesystem::path& path, const pugi::xml_parse_result& parsed) {
  if (!gf_xmlFileWasRead(parsed)) {
    gf_logError(fmt::format("{} found, but could not be loaded, it {}; it is left as it is",
                            gf_pathToUtf8(path), gf_xmlLoadProblem(path, parsed)));
    return;
  }
  const std::string copy = lf_keepBrokenCopy(path);
  const std::string saved = copy.empty() ? std::string() : ", saved as " + copy;
  gf_log(fmt::format("{} found, but could not be loaded{}: {}", gf_pathToUtf8(path), saved,
                     parsed.description()));
}

void lf_readManualStand(const pugi::xml_node& parkpos, const std::string& id,
                        const std::filesystem::path& path) {
  const bool exists = std::any_of(g_parkStands.begin(), g_parkStands.end(),
                                  [&id](const ParkPos& s) { return s.id == id; });
  if (exists) {
    gf_logError(
        fmt::format("manually created standid {} already exists in {}", id, gf_pathToUtf8(path)));
    return;
  }
  const double lat = parkpos.attribute("latitude").as_double();
  const double lon = parkpos.attribute("longitude").as_double();
  const double radius = parkpos.attribute("radius").as_double();
  if ((lat >= 0.0 && lat <= 0.0009 && lon >= 0.0 && lon <= 0.05) || radius == 0.0) {
    gf_logError(fmt::format("manually created standid {} misses correct attributes in {}", id,
                            gf_pathToUtf8(path)));
    return;
  }
  const std::size_t before = g_parkStands.size();
  lf_readParkPos(parkpos, id, 0);
  if (g_parkStands.size() > before) {
    g_parkStands.back().manual = true;
  }
}

// Keeps a learned option that an option of the stand file covers, once per stand and use.
void lf_keepCovered(const std::string& standId, ParkPosOption option) {
  const bool kept = std::any_of(g_parkCoveredOptions.begin(), g_parkCoveredOptions.end(),
                                [&](const CoveredOption& c) {
                                  return c.standId == standId && gf_sameUse(c.option, option);
                                });
  if (!kept) {
    g_parkCoveredOptions.push_back({standId, std::move(option)});
  }
}

}  // namespace

bool lf_readLearnedOption(const std::string& id, const pugi::xml_node& parkpos, ParkPos& stand) {
  if (stand.id != id) {
    return false;
  }
  if (parkpos.attribute("radius_change").as_bool()) {
    stand.radius = parkpos.attribute("radius").as_double() * kMetresToNm;
    stand.radius_change = true;
  }
  if (parkpos.attribute("cargo_change").as_bool()) {
    stand.cargo = parkpos.attribute("cargo").as_bool();
    stand.cargo_change = true;
  }
  std::uint32_t nextId = stand.options.empty() ? 1 : stand.options.back().id + 1;
  for (const pugi::xml_node& opt : parkpos.children("opt")) {
    ParkPosEntry entry;
    lf_readParkPosEntry(entry, opt);
    ParkPosOption option;
    option.airline = entry.airl;
    option.type = entry.type;
    option.reg = opt.attribute("reg").as_string();
    option.cs = entry.cs;
    option.cs2 = entry.cs2;
    option.hh = gf_hours2bitset(opt.attribute("hh").as_string());
    option.real = opt.attribute("soft").as_bool() ? 0 : 1;
    option.day = static_cast<std::uint32_t>(opt.attribute("day").as_int());
    option.origin = 0;
    option.id = nextId;
    const auto same = std::find_if(stand.options.begin(), stand.options.end(),
                                   [&option](const ParkPosOption& o) { return gf_sameUse(o, option); });
    if (same == stand.options.end()) {
      stand.options.push_back(std::move(option));
      ++nextId;
    } else if (same->origin != 0) {
      lf_keepCovered(stand.id, std::move(option));
    }
  }
  return true;
}

void lf_readLearned(const std::filesystem::path& path, const ApfHeader& header) {
  try {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(path.c_str());
    if (!parsed) {
      lf_learnedNotLoaded(path, parsed);
      return;
    }
    gf_log(fmt::format("Read from learned airport file: \"{}\"", gf_pathToUtf8(path)));
    if (!gf_checkMeta(document)) {
      return;
    }
    const std::string learnedName = lf_readTextParameter(document, "airport_name").value_or("");
    if (learnedName != header.airport_name) {
      gf_showMessage(fmt::format("Warning: learned file airport name: \"{}\" differs from archived "
                                 "file airport name: \"{}\"",
                                 learnedName, header.airport_name),
                     true);
    }
    lf_applySettings(document);

    if (const auto handmade = lf_readBoolParameter(document, "handmade")) {
      g_parkStandFileHandmade = true;
      g_parkStands.clear();
      lf_readParkPositions(document);
      gf_logIndented(fmt::format("{:24}: {}", "handmade", *handmade));
      return;
    }
    g_parkStandFileHandmade = false;
    for (const pugi::xml_node& parkpos : document.child("parkpositions").children("parkpos")) {
      const std::string id = parkpos.attribute("id").as_string();
      if (parkpos.attribute("manual").as_bool()) {
        lf_readManualStand(parkpos, id, path);
        continue;
      }
      const bool found = std::any_of(g_parkStands.begin(), g_parkStands.end(),
                                     [&](ParkPos& s) { return lf_readLearnedOption(id, parkpos, s); });
      if (!found) {
        gf_log(fmt::format("learned stand {} in {} not found?", id, gf_pathToUtf8(path)));
      }
    }
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{}: {}", "lf_readLearned", e.what()));
  }
}
