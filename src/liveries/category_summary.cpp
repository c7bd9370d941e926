// Log summaries of the matching tables: the types with a generic livery, and per size category
// the liveries installed, which also fills the category type lists and switches off the
// categories Light, HighPerf and Rotorcraft when no livery of them is installed. Worker thread.

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <utility>

#include "foundation/aircraft_defs.h"
#include "foundation/log.h"
#include "foundation/parameters.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "liveries/database_queries.h"
#include "liveries/matching_tables.h"
#include "platform/win32.h"

namespace {

constexpr std::size_t kTypesPerLine = 20;
constexpr char kTypeLineIndent[] = "  ";

using TypeTitle = std::pair<std::string_view, std::string_view>;

// The setting that a category without liveries switches off, with the end of its log line.
struct CategorySwitch {
  CheckBoxParameter* setting;
  const char* what;
};

std::optional<CategorySwitch> lf_categorySwitch(std::uint32_t category) {
  switch (category) {
    case kCatLight:
      return CategorySwitch{&g_paramLightAircraft, "light aircraft"};
    case kCatHighPerf:
      return CategorySwitch{&g_paramHighPerfAircraft, "High Perf aircraft"};
    case kCatRotorcraft:
      return CategorySwitch{&g_paramHelicopters, "Helicopters"};
    default:
      return std::nullopt;
  }
}

void lf_enableCheckBox(CheckBoxParameter& setting, bool enable) {
  if (HWND box = setting.hwnd.load()) EnableWindow(box, enable ? TRUE : FALSE);
}

void lf_addTypeToLine(std::string& line, const std::string& type, std::uint32_t category,
                      bool fillLists) {
  line += type;
  line += ',';
  if (!fillLists) return;
  if (std::vector<std::string>* list = gf_categoryTypeList(category)) list->push_back(type);
}

// Logs the types, 20 to a line, each line starting with two blanks, joined by ','.
void lf_logTypeLines(const std::vector<std::string>& types, std::uint32_t category,
                     bool fillLists) {
  std::string line = kTypeLineIndent;
  std::size_t onLine = 0;
  for (const std::string& type : types) {
    lf_addTypeToLine(line, type, category, fillLists);
    if (++onLine == kTypesPerLine) {
      line.pop_back();
      gf_log(line);
      line = kTypeLineIndent;
      onLine = 0;
    }
  }
  if (onLine > 0) {
    line.pop_back();
    gf_log(line);
  }
}

std::vector<std::string> lf_genericTypes() {
  std::vector<std::string> types;
  const auto found = g_liveryAirlines.find(g_genericAirline);
  if (found == g_liveryAirlines.end()) return types;
  for (const auto& entry : found->second) types.push_back(entry.first);
  return types;
}

// Pairs (type, title) of the category from one type table; counts the types taken.
void lf_categoryLiveries(const TypeTitles& table, std::uint32_t category,
                         std::vector<TypeTitle>& pairs, std::size_t& typesCounted) {
  for (const auto& [type, titles] : table) {
    if (gf_typeCategory(type) != category) continue;
    ++typesCounted;
    for (std::string_view title : titles) pairs.emplace_back(type, title);
  }
}

void lf_switchCategoryOff(std::uint32_t category) {
  const std::optional<CategorySwitch> entry = lf_categorySwitch(category);
  if (!entry) return;
  CheckBoxParameter& setting = *entry->setting;
  if (setting.value()) {
    setting.setValue(false);
    gf_saveBoolParameter(setting);
    gf_log(fmt::format("{} temporary switched off because you do not have {} installed",
                       setting.name, entry->what));
  }
  lf_enableCheckBox(setting, false);
}

std::vector<std::string> lf_distinctTypes(const std::vector<TypeTitle>& pax,
                                          const std::vector<TypeTitle>& cargo) {
  std::vector<std::string> types;
  for (const auto* pairs : {&pax, &cargo})
    for (const TypeTitle& pair : *pairs) types.emplace_back(pair.first);
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  return types;
}

}  // namespace

void lf_logGenericLiveries() {
  std::vector<std::string> types = lf_genericTypes();
  if (types.empty()) {
    gf_log("No generic liveries");
    return;
  }
  std::sort(types.begin(), types.end());
  types.erase(std::unique(types.begin(), types.end()), types.end());
  gf_log(fmt::format("{} model{} have a generic livery", types.size(), gf_plural(types.size())));
  lf_logTypeLines(types, 0, false);
}

void lf_categorySummary(std::uint32_t category) {
  std::vector<TypeTitle> pax;
  std::vector<TypeTitle> cargo;
  std::size_t typesCounted = 0;
  lf_categoryLiveries(g_paxTypeLiveries, category, pax, typesCounted);
  lf_categoryLiveries(g_cargoTypeLiveries, category, cargo, typesCounted);
  const std::string_view name = gf_categoryName(static_cast<int>(category));
  if (pax.empty() && cargo.empty()) {
    gf_log(fmt::format("Category {}: No livery found", name));
    lf_switchCategoryOff(category);
    return;
  }
  std::string cargoPart;
  if (!cargo.empty())
    cargoPart = fmt::format(" and {} cargo liverie{}", cargo.size(), gf_plural(cargo.size()));
  gf_log(fmt::format("Category {}: {} pax liverie{}{}", name, pax.size(), gf_plural(pax.size()),
                     cargoPart));
  if (typesCounted > 0) lf_logTypeLines(lf_distinctTypes(pax, cargo), category, true);
  if (const std::optional<CategorySwitch> entry = lf_categorySwitch(category))
    lf_enableCheckBox(*entry->setting, true);
}

std::vector<std::string>* gf_categoryTypeList(std::uint32_t category) {
  switch (category) {
    case kCatLight:
      return &g_lightTypes;
    case kCatBuzjets:
      return &g_buzjetTypes;
    case kCatRotorcraft:
      return &g_rotorcraftTypes;
    default:
      return nullptr;
  }
}
