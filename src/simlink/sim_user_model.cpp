// The user aircraft's title and ATC model (replies to requests 106 and 107): the window's title
// text, and the half wingspan the engine keeps clear of, looked up in the aircraft database.
#include <fmt/format.h>

#include <array>
#include <utility>

#include "foundation/aircraft_defs.h"
#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/messages.h"
#include "liveries/database_queries.h"
#include "simlink/sim_internal.h"

std::string g_userAcTitle;
UserAcType g_userAcType;

namespace {

constexpr std::size_t kTitleLength = 48;  // characters of the title kept

// User vehicles that are no aircraft; they are given the span of this type.
constexpr std::array<const char*, 2> kNoAircraftModels{"camerapod", "Crew Vessel"};
constexpr const char* kNoAircraftStandInType = "E190";

// Titles whose model names no type, and the type they stand for (tested in this order).
constexpr std::array<std::pair<const char*, const char*>, 3> kTitleModels{{
    {"Aerosoft A319", "A319"},
    {"Aerosoft A320", "A320"},
    {"Aerosoft A321", "A321"},
}};
constexpr std::size_t kLongestTypeCode = 4;

void lf_storeSpan(double halfSpanNm) {
  std::lock_guard lock(g_simMutex);
  g_userAcType = {halfSpanNm, true};
}

void lf_showSpanKnown(bool known) {
  g_mainWindowState.userAcModelKnown.store(known ? 1 : 0);
  g_mainWindowState.invalidate(kLampsArea);
}

std::string lf_currentTitle() {
  std::lock_guard lock(g_simMutex);
  return g_userAcTitle;
}

// The half span of a model that names no type in the database: deduced from the title when
// it is a known one, else the largest span of the database (the model may be renamed).
double lf_spanFromTitle(std::string& model) {
  const std::string title = lf_currentTitle();
  for (const auto& [prefix, type] : kTitleModels) {
    if (!title.starts_with(prefix)) continue;
    model = type;
    gf_log("SimConnect: User aircraft model deduced from title: " + model);
    const double span = gf_wingspan(model);
    if (span != 0.0) {
      lf_storeSpan(span);
      lf_showSpanKnown(true);
      return span;
    }
    break;
  }
  lf_storeSpan(g_maxHalfWingspanNm);
  lf_showSpanKnown(false);
  gf_showMessage(
      "User aircraft wing span unknown, max is taken instead, please report in my "
      "Forum!",
      false);
  return g_maxHalfWingspanNm;
}

// Sets the user aircraft's half span from its model; returns it.
double lf_spanFromModel(std::string& model) {
  for (const char* word : kNoAircraftModels) {
    if (model.find(word) == std::string::npos) continue;
    const double span = gf_wingspan(kNoAircraftStandInType);
    lf_storeSpan(span);
    lf_showSpanKnown(true);
    return span;
  }
  const double span = model.size() <= kLongestTypeCode ? gf_wingspan(model) : g_maxHalfWingspanNm;
  lf_storeSpan(span);
  if (span != g_maxHalfWingspanNm) {
    lf_showSpanKnown(true);
    return span;
  }
  return lf_spanFromTitle(model);
}

}  // namespace

void lf_userTitle(std::string title) {
  if (title.size() > kTitleLength) title.resize(kTitleLength);
  if (title.empty()) {
    gf_log("! title of your ac is empty?");
    return;
  }
  {
    std::lock_guard lock(g_simMutex);
    if (title == g_userAcTitle) return;
    g_userAcTitle = title;
  }
  g_mainWindowState.storeText(&MainWindowState::userAcTitleText, title, kLampsArea);
  gf_logIndented("SimConnect: User aircraft title: " + title);
}

void lf_userModel(std::string model) {
  try {
    if (model.empty()) {
      throw qvb::UserErrorException(
          71, "atc_model= in [General] section of your aircraft.cfg is empty or missing");
    }
    gf_log(fmt::format("model raw: {} ", model));
    gf_logIndented("SimConnect: User aircraft model: " + model);
    const double span = lf_spanFromModel(model);
    gf_logIndented(fmt::format("{}, half wing span: {:.1F} meter, category: {}", model,
                               span * kMetresPerNm,
                               gf_categoryName(static_cast<int>(gf_typeCategory(model)))));
  } catch (const qvb::UserErrorException&) {
    throw;
  } catch (...) {
    throw qvb::UserErrorException(
        73, "It looks like you have not selected an aircraft as user vehicle");
  }
}
