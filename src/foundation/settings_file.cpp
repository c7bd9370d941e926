// parameters.xml: the start-up load of every setting and the save of single settings.
#include "foundation/settings_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <mutex>
#include <pugixml.hpp>
#include <system_error>

#include "foundation/errors.h"
#include "foundation/file_helpers.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/registry_lookup.h"
#include "foundation/run_state.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "platform/paths.h"

namespace fs = std::filesystem;

std::filesystem::path g_appDataFolder = gf_appDataFolderAtStartup();
std::filesystem::path g_parametersFile = g_appDataFolder / "parameters.xml";
SettingsShellHooks g_settingsShellHooks;

namespace {

constexpr const char* kRootName = "parameters";
constexpr const char* kEntryName = "parameter";
// The library's default parse, plus comments, so that a user's notes in the file survive.
constexpr unsigned kParseOptions = pugi::parse_default | pugi::parse_comments;

// Serialises every load-modify-save of parameters.xml (GUI thread and worker). Taken before the
// log's mutex; no other lock is taken while it is held.
std::mutex s_fileMutex;

const char* lf_boolText(bool value) {
  return value ? "true" : "false";
}

pugi::xml_node lf_findEntry(const pugi::xml_document& document, const std::string& name) {
  return document.select_node(gf_parameterXPath(name).c_str()).node();
}

// Where new entries go: the "parameters" root, or the document itself when it has none.
pugi::xml_node lf_appendTarget(pugi::xml_document& document) {
  pugi::xml_node root = document.child(kRootName);
  return root ? root : pugi::xml_node(document);
}

bool lf_appendEntry(pugi::xml_node node, const std::string& name, const char* value) {
  if (node.type() != pugi::node_document && node.type() != pugi::node_element) return false;
  pugi::xml_node entry = node.append_child(kEntryName);
  if (!entry) return false;
  pugi::xml_attribute nameAttr = entry.append_attribute("name");
  pugi::xml_attribute valueAttr =
      nameAttr ? entry.append_attribute("value") : pugi::xml_attribute();
  if (!nameAttr || !valueAttr || !nameAttr.set_value(name.c_str()) || !valueAttr.set_value(value)) {
    node.remove_child(entry);
    return false;
  }
  return true;
}

// Saves through a temporary file that replaces the settings file in one rename.
bool lf_saveDocument(const pugi::xml_document& document, const fs::path& file) {
  fs::path temp = file;
  temp += ".tmp";
  std::error_code ec;
  if (!document.save_file(temp.c_str())) {
    fs::remove(temp, ec);
    return false;
  }
  fs::rename(temp, file, ec);
  std::error_code ignored;  // the rename's error stays: a file not replaced is no save
  if (ec) fs::remove(temp, ignored);
  return !ec;
}

fs::path lf_backupName(const fs::path& file) {
  const std::string text = gf_pathToUtf8(file);
  const auto dot = text.rfind('.');
  if (dot == std::string::npos) return file;
  return gf_pathFromUtf8(text.substr(0, dot) + g_zeroString + text.substr(dot));
}

// The file is there but cannot be opened: another user's after one elevated run, locked, or a
// folder by that name (which the parser reports as out of memory).
bool lf_existsUnopened(const fs::path& file, const pugi::xml_parse_result& result) {
  if (gf_xmlFileWasRead(result)) return false;
  std::error_code ec;
  return fs::exists(file, ec);
}

// Why the file could not be opened, in the system's words where it has them.
std::string lf_openProblem(const fs::path& file, const pugi::xml_parse_result& result) {
  const std::string why = gf_fileReadError(file);
  return why.empty() ? std::string(result.description()) : why;
}

// Moves a file that cannot be opened out of the way, to the name a copy would have (an older
// one moves one step further). Copying is no option for a file nobody can read. The system's
// words for the failed opening are asked first: once moved, the file is no longer there.
bool lf_moveAside(const fs::path& file, const pugi::xml_parse_result& result) {
  const std::string why = lf_openProblem(file, result);
  const fs::path backup = lf_backupName(file);
  std::error_code ec;
  if (fs::exists(backup, ec)) fs::rename(backup, lf_backupName(backup), ec);
  fs::rename(file, backup, ec);
  if (ec) {
    gf_logError(fmt::format("{} could not be opened ({}) nor moved aside: {}", gf_pathToUtf8(file),
                            why, ec.message()));
    return false;
  }
  gf_logError(fmt::format("{} could not be opened ({}), it is moved aside as {}",
                          gf_pathToUtf8(file), why, gf_pathToUtf8(backup)));
  return true;
}

// A settings file that exists but cannot be loaded is about to be replaced: keep it first, so
// the user's settings can still be recovered by hand. False when it could not be kept; then
// the file must not be replaced.
bool lf_keepUnreadableFile(const fs::path& file, const pugi::xml_parse_result& result) {
  if (lf_existsUnopened(file, result)) return lf_moveAside(file, result);
  if (result.status == pugi::status_file_not_found) return true;
  std::error_code ec;
  if (!fs::exists(file, ec)) return true;
  try {
    gf_backupFile(file);
    gf_logError(fmt::format("{} could not be read ({}), a copy is kept as {}", gf_pathToUtf8(file),
                            result.description(), gf_pathToUtf8(lf_backupName(file))));
  } catch (const std::exception& e) {
    gf_logError(fmt::format("{} could not be read ({}) nor copied: {}", gf_pathToUtf8(file),
                            result.description(), e.what()));
  }
  return true;
}

void lf_logSaved(bool saved, const fs::path& file) {
  gf_log(saved ? fmt::format("\"{}\" saved", gf_pathToUtf8(file))
               : fmt::format("could not save to \"{}\"", gf_pathToUtf8(file)));
}

void lf_logAppendFailed(const std::string& name, const std::string& valueText) {
  gf_logIfActive(
      fmt::format("{}adding init xml parameter {} with {} failed!", "===> ", name, valueText));
}

// Control updates after a load; a control that does not exist yet is skipped.
void lf_setCheck(CheckBoxParameter& parameter) {
  if (HWND control = parameter.hwnd.load(); control != nullptr) {
    SendMessageW(control, BM_SETCHECK, parameter.value() ? BST_CHECKED : BST_UNCHECKED, 0);
  }
}

void lf_setControlText(GuiControl& control, const std::string& text, const std::string& name) {
  HWND window = control.hwnd.load();
  if (window == nullptr) return;
  try {
    SetWindowTextW(window, Utf8ToUtf16(text).c_str());
  } catch (const win32::Utf8ConversionException& e) {
    gf_logError(
        fmt::format("{} conversion exception {}, error code: {}", name, e.what(), e.errorCode()));
  }
}

void lf_showInt(EditParameter& parameter) {
  if (g_settingsShellHooks.showIntParameter != nullptr) {
    g_settingsShellHooks.showIntParameter(parameter);
  } else {
    lf_setControlText(parameter, fmt::format("{}", parameter.value()), parameter.name);
  }
}

void lf_showString(StringEditParameter& parameter) {
  if (g_settingsShellHooks.showStringParameter != nullptr) {
    g_settingsShellHooks.showStringParameter(parameter);
  } else {
    lf_setControlText(parameter, parameter.value(), parameter.name);
  }
}

// The load of a missing or unreadable file: every setting takes its default and is added.
void lf_addDefaults(pugi::xml_document& document, const ParameterGroups& groups) {
  document.reset();
  document.append_child(kRootName);
  for (BoolParameter* p : groups.bools) p->addDefault(document);
  for (CheckBoxParameter* p : groups.checkBoxes) p->addDefault(document);
  for (IntParameter* p : groups.ints) p->addDefault(document);
  for (EditParameter* p : groups.edits) p->addDefault(document);
  for (StringParameter* p : groups.strings) {
    // Folder entries are not written, but a previous run's folders must not stay in use.
    if (gf_isFolderParameter(*p))
      p->setValue(p->defaultValue);
    else
      p->addDefault(document);
  }
  for (StringEditParameter* p : groups.stringEdits) p->addDefault(document);
}

// The load of a readable file: entries read, missing ones appended, empty folder entries
// dropped from the document (the final save writes the file without them).
void lf_readEntries(pugi::xml_document& document, const ParameterGroups& groups) {
  pugi::xml_node root = document.child(kRootName);
  // Appends a missing entry with the value that read() has just set (its default).
  auto appendIfAbsent = [&root](bool present, const std::string& name, auto valueText) {
    if (!present && root) lf_appendEntry(root, name, valueText().c_str());
  };
  for (BoolParameter* p : groups.bools) {
    appendIfAbsent(p->read(document), p->name,
                   [p] { return std::string(lf_boolText(p->value())); });
  }
  for (CheckBoxParameter* p : groups.checkBoxes) {
    appendIfAbsent(p->read(document), p->name,
                   [p] { return std::string(lf_boolText(p->value())); });
  }
  for (IntParameter* p : groups.ints) {
    appendIfAbsent(p->read(document, true), p->name, [p] { return fmt::format("{}", p->value()); });
  }
  for (EditParameter* p : groups.edits) {
    appendIfAbsent(p->read(document, true), p->name, [p] { return fmt::format("{}", p->value()); });
  }
  for (StringParameter* p : groups.strings) {
    if (!gf_isFolderParameter(*p)) {
      appendIfAbsent(p->read(document), p->name, [p] { return p->value(); });
      continue;
    }
    p->readFolder(document);
    if (!p->value().empty()) continue;
    if (pugi::xml_node entry = lf_findEntry(document, p->name); entry && root) {
      entry.parent().remove_child(entry);
      gf_logIfActive("Parameter " + p->name + " removed");
    }
  }
  for (StringEditParameter* p : groups.stringEdits) {
    appendIfAbsent(p->read(document), p->name, [p] { return p->value(); });
  }
}

void lf_finishSave(const pugi::xml_document& document, const fs::path& file) {
  if (!lf_saveDocument(document, file)) gf_logIfActive("saving xml did not work?");
}

// One load-modify-save of a single entry. valueText is the value as stored; append adds the
// entry under a node.
template <typename P, typename Append>
void lf_saveEntry(const P& parameter, const std::string& valueText, Append append) {
  std::lock_guard lock(s_fileMutex);
  const fs::path file = g_parametersFile;
  pugi::xml_document document;
  const pugi::xml_parse_result loaded = document.load_file(file.c_str(), kParseOptions);
  if (!loaded) {
    // A file that cannot be opened is never overwritten: the settings in it would be lost.
    if (lf_existsUnopened(file, loaded)) {
      gf_logError(fmt::format("{} could not be opened ({}), {} not saved", gf_pathToUtf8(file),
                              lf_openProblem(file, loaded), parameter.name));
      gf_logIfActive("saving xml did not work?");
      return;
    }
    lf_keepUnreadableFile(file, loaded);
    // The parser leaves what it read before the fault in the document. Kept, that torn
    // "parameters" element would come first in the saved file and shadow the entry saved here,
    // so the save would be lost at the next load; the copy above keeps the torn file instead.
    document.reset();
  }
  pugi::xml_node root = loaded ? document.child(kRootName) : pugi::xml_node();
  if (root) {
    if (pugi::xml_node entry = lf_findEntry(document, parameter.name)) {
      // An entry without a "value" attribute is left as it is, and that is no save.
      pugi::xml_attribute value = entry.attribute("value");
      if (!value) {
        gf_logIfActive("saving xml did not work?");
        return;
      }
      value.set_value(valueText.c_str());
    } else {
      append(root);
    }
  } else {
    append(document.append_child(kRootName));
  }
  parameter.log();
  lf_finishSave(document, file);
}

}  // namespace

// ---- entries of the class family -------------------------------------------------------------

bool BoolParameter::read(const pugi::xml_document& document) {
  const pugi::xml_node entry = lf_findEntry(document, name);
  setValue(entry ? entry.attribute("value").as_bool() : defaultValue);
  log();
  return static_cast<bool>(entry);
}

bool IntParameter::read(const pugi::xml_document& document, bool logIt) {
  const pugi::xml_node entry = lf_findEntry(document, name);
  setValue(entry ? std::clamp(entry.attribute("value").as_int(), minValue, maxValue)
                 : defaultValue);
  if (logIt) log();
  return static_cast<bool>(entry);
}

bool StringParameter::read(const pugi::xml_document& document) {
  const pugi::xml_node entry = lf_findEntry(document, name);
  setValue(entry ? entry.attribute("value").as_string() : defaultValue);
  log();
  return static_cast<bool>(entry);
}

bool StringParameter::readFolder(const pugi::xml_document& document) {
  const pugi::xml_node entry = lf_findEntry(document, name);
  setValue(entry ? entry.attribute("value").as_string() : defaultValue);
  if (!value().empty()) log();
  return static_cast<bool>(entry);
}

void BoolParameter::addDefault(pugi::xml_document& document) {
  const bool ok = gf_appendBoolParameter(lf_appendTarget(document), name, defaultValue);
  setValue(defaultValue);
  log();
  if (!ok) lf_logAppendFailed(name, lf_boolText(defaultValue));
}

void IntParameter::addDefault(pugi::xml_document& document) {
  const bool ok = gf_appendIntParameter(lf_appendTarget(document), name, defaultValue);
  setValue(defaultValue);
  log();
  if (!ok) lf_logAppendFailed(name, fmt::format("{}", defaultValue));
}

void StringParameter::addDefault(pugi::xml_document& document) {
  const bool ok = gf_appendStringParameter(lf_appendTarget(document), name, defaultValue);
  setValue(defaultValue);
  log();
  if (!ok) lf_logAppendFailed(name, defaultValue);
}

// ---- the file -------------------------------------------------------------------------------

std::string gf_parameterXPath(const std::string& name) {
  std::string path;
  for (const char* piece : {"/", kRootName, "/", kEntryName, "[", "@", "name", "=", "'"})
    path += piece;
  path += name;
  path += "'";
  path += "]";
  return path;
}

bool gf_appendBoolParameter(pugi::xml_node node, const std::string& name, bool value) {
  return lf_appendEntry(node, name, lf_boolText(value));
}

bool gf_appendIntParameter(pugi::xml_node node, const std::string& name, int value) {
  return lf_appendEntry(node, name, fmt::format("{}", value).c_str());
}

bool gf_appendStringParameter(pugi::xml_node node, const std::string& name,
                              const std::string& value) {
  return lf_appendEntry(node, name, value.c_str());
}

bool gf_appendIntAttribute(pugi::xml_node node, const std::string& attributeName, int value) {
  pugi::xml_attribute attribute = node.append_attribute(attributeName.c_str());
  return attribute && attribute.set_value(value);
}

ParameterGroups gf_parameterGroups() {
  ParameterGroups groups;
  groups.bools = {&g_paramRandom};
  groups.checkBoxes = {&g_paramAerowinx,
                       &g_paramAfgAutomatic,
                       &g_paramCollisionUserAir,
                       &g_paramCollisionUserGnd,
                       &g_paramCollisionLiveParkedGnd,
                       &g_paramSuppressStub,
                       &g_paramLog,
                       &g_paramAlwaysOnTop,
                       &g_paramScanLiveries,
                       &g_paramLigAutomatic,
                       &g_paramLigPrioritize,
                       &g_paramScanAirports,
                       &g_paramLightAircraft,
                       &g_paramHelicopters,
                       &g_paramHighPerfAircraft,
                       &g_paramNavLightsWhileParked,
                       &g_paramAutoRange,
                       &g_paramLearnSoft,
                       &g_paramStraightPbsOnly,
                       &g_paramParkSoft,
                       &g_paramParkFake,
                       &g_paramWeek,
                       &g_paramInitialLoadOnly,
                       &g_paramGuidChanges};
  groups.ints = {&g_paramCustomParkingPercentage,
                 &g_mainWindowState.mainWindowX,
                 &g_mainWindowState.mainWindowY,
                 &g_paramLastEpochTime,
                 &g_paramHoldingThresholdMeters,
                 &g_paramMaxHoldingMinutes,
                 &g_paramP3dVersion};
  groups.edits = {&g_paramMatchingDepth,        &g_paramLateralRange, &g_paramMaxFit,
                  &g_paramAutoRangeAboveHeight, &g_paramMaxLive,      &g_paramAirportRange,
                  &g_paramAirportHeight,        &g_paramCustomMaxPark};
  groups.strings = {&g_paramProgramVersion, &g_paramSimInstallPath, &g_paramPortNumber};
  for (StringParameter& folder : g_paramLfolder) groups.strings.push_back(&folder);
  for (StringParameter& folder : g_paramAfolder) groups.strings.push_back(&folder);
  groups.strings.push_back(&g_paramProgramInstallPath);
  groups.strings.push_back(&g_paramDestination);
  groups.stringEdits = {&g_paramBlockCallsign};
  return groups;
}

void gf_readParameters(const std::vector<BoolParameter*>& group1,
                       const std::vector<CheckBoxParameter*>& group2,
                       const std::vector<IntParameter*>& group3,
                       const std::vector<EditParameter*>& group4,
                       const std::vector<StringParameter*>& group5,
                       const std::vector<StringEditParameter*>& group6) {
  const ParameterGroups groups{group1, group2, group3, group4, group5, group6};
  gf_log(gf_banner(70, 0, true, false, "parameters"));
  {
    std::lock_guard lock(s_fileMutex);
    const fs::path file = g_parametersFile;
    pugi::xml_document document;
    const pugi::xml_parse_result loaded = document.load_file(file.c_str(), kParseOptions);
    bool replaceable = true;
    if (!loaded) {
      replaceable = lf_keepUnreadableFile(file, loaded);
      gf_log(gf_pathToUtf8(file) + " not found, default values taken:");
      lf_addDefaults(document, groups);
    } else {
      gf_log(fmt::format("from \"{}\"", gf_pathToUtf8(file)));
      lf_readEntries(document, groups);
    }
    lf_logSaved(replaceable && lf_saveDocument(document, file), file);
  }
  // The controls show the loaded values; before the window exists this does nothing.
  for (CheckBoxParameter* p : group2) lf_setCheck(*p);
  for (EditParameter* p : group4) lf_showInt(*p);
  for (StringEditParameter* p : group6) lf_showString(*p);
  gf_log(gf_banner(70, 10, false, true, ""));
}

void lf_initParameterGroups() {
  const ParameterGroups groups = gf_parameterGroups();
  gf_readParameters(groups.bools, groups.checkBoxes, groups.ints, groups.edits, groups.strings,
                    groups.stringEdits);
  if (g_settingsShellHooks.checkVersionUpdate != nullptr) g_settingsShellHooks.checkVersionUpdate();
  IntParameter& range = g_paramLateralRange;
  range.setValue(std::clamp(range.value(), range.minValue, range.maxValue));
  gf_setTrafficRadius(static_cast<double>(range.value()));
}

void gf_saveBoolParameter(BoolParameter& parameter) {
  const bool value = parameter.value();
  lf_saveEntry(parameter, lf_boolText(value),
               [&](pugi::xml_node node) { gf_appendBoolParameter(node, parameter.name, value); });
}

void gf_saveIntParameter(IntParameter& parameter) {
  const int value = parameter.value();
  lf_saveEntry(parameter, fmt::format("{}", value),
               [&](pugi::xml_node node) { gf_appendIntParameter(node, parameter.name, value); });
}

void gf_saveStringParameter(StringParameter& parameter) {
  const std::string value = parameter.value();
  lf_saveEntry(parameter, value,
               [&](pugi::xml_node node) { gf_appendStringParameter(node, parameter.name, value); });
}

bool gf_removeParameter(StringParameter& parameter) {
  std::lock_guard lock(s_fileMutex);
  const fs::path file = g_parametersFile;
  pugi::xml_document document;
  if (!document.load_file(file.c_str(), kParseOptions)) return false;
  bool removed = false;
  if (document.child(kRootName)) {
    if (pugi::xml_node entry = lf_findEntry(document, parameter.name)) {
      removed = entry.parent().remove_child(entry);
      gf_logIfActive("Parameter " + parameter.name + " removed");
    }
  }
  lf_finishSave(document, file);
  return removed;
}

void gf_showParameterNoexcept(StringEditParameter& parameter) noexcept {
  try {
    lf_showString(parameter);
  } catch (const std::exception& e) {
    gf_logError(fmt::format("gf_showParameterNoexcept: {}", e.what()));
  } catch (...) {
  }
}
