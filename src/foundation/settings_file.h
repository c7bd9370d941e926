// parameters.xml: the settings read at the start of every run and each changed setting saved at
// once. Every load-modify-save of the file runs under one lock and the file is replaced through
// a temporary file, so saves from the GUI thread and the worker never tear it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "foundation/parameters.h"

namespace pugi {
class xml_node;
}

// The program's folder under the user's roaming AppData folder, and parameters.xml in it. Set
// at static initialisation; changed only before other threads start (tests point them at a
// temporary folder).
extern std::filesystem::path g_appDataFolder;
extern std::filesystem::path g_parametersFile;

// What the settings load calls in the shell. Filled by the shell before the first run starts;
// an empty slot is skipped (the show functions then only set the control's text).
struct SettingsShellHooks {
  void (*checkVersionUpdate)() = nullptr;                       // lf_checkVersionUpdate
  void (*showIntParameter)(EditParameter&) = nullptr;           // gf_showIntParameter
  void (*showStringParameter)(StringEditParameter&) = nullptr;  // gf_showStringParameter
};
extern SettingsShellHooks g_settingsShellHooks;

// The six groups of parameters.xml, in file order.
struct ParameterGroups {
  std::vector<BoolParameter*> bools;              // 1: bool without control
  std::vector<CheckBoxParameter*> checkBoxes;     // 2: bool with check box
  std::vector<IntParameter*> ints;                // 3: int without control
  std::vector<EditParameter*> edits;              // 4: int with edit field
  std::vector<StringParameter*> strings;          // 5: string (folder entries included)
  std::vector<StringEditParameter*> stringEdits;  // 6: string with edit field
};
ParameterGroups gf_parameterGroups();

// Start of every run (worker): builds the groups, loads the settings, runs the version
// bookkeeping, clamps LATERAL_RANGE and sets the traffic radius copies from it.
void lf_initParameterGroups();

// Loads every setting from parameters.xml (defaults for missing entries, which are added),
// drops empty folder entries, pushes the values into existing controls and writes the file back.
// A file that cannot be parsed is kept as a backup copy, one that cannot be opened is moved
// aside to the same name, and then defaults replace it.
void gf_readParameters(const std::vector<BoolParameter*>& group1,
                       const std::vector<CheckBoxParameter*>& group2,
                       const std::vector<IntParameter*>& group3,
                       const std::vector<EditParameter*>& group4,
                       const std::vector<StringParameter*>& group5,
                       const std::vector<StringEditParameter*>& group6);

// "/parameters/parameter[@name='<name>']".
std::string gf_parameterXPath(const std::string& name);

// Append a "parameter" element (name, value) under node; false when node cannot take a child
// or the element or an attribute cannot be made.
bool gf_appendBoolParameter(pugi::xml_node node, const std::string& name, bool value);
bool gf_appendIntParameter(pugi::xml_node node, const std::string& name, int value);
bool gf_appendStringParameter(pugi::xml_node node, const std::string& name,
                              const std::string& value);
// Appends one integer attribute to node.
bool gf_appendIntAttribute(pugi::xml_node node, const std::string& attributeName, int value);

// Save one setting's current value (load, change, save); any thread. A file that exists but
// cannot be opened is never written, and neither is an entry without a "value" attribute; both
// are logged as failed saves.
void gf_saveBoolParameter(BoolParameter& parameter);
void gf_saveIntParameter(IntParameter& parameter);
void gf_saveStringParameter(StringParameter& parameter);
// Removes the setting's entry from the file; true when one was removed.
bool gf_removeParameter(StringParameter& parameter);

// Writes a string setting's value into its edit field; lets no exception out.
void gf_showParameterNoexcept(StringEditParameter& parameter) noexcept;
