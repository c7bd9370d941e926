// The settings: one global object per setting, with its XML name, default, minimum, maximum and
// current value, and for the settings shown in the main window the control's id, row and handle.
// All objects are built at static initialisation with the defaults of the settings table.
//
// Threads: values are read from every thread and written by the GUI thread (window handlers) and
// the worker (settings load, the owners of a setting's meaning). Bool, int and float values are
// atomics; a string value is read and written under its own mutex and value() returns a copy.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

#include "platform/win32.h"

namespace pugi {
class xml_document;
}

class ParameterBase {
 public:
  explicit ParameterBase(std::string name_) : name(std::move(name_)) {}
  virtual ~ParameterBase() = default;
  ParameterBase(const ParameterBase&) = delete;
  ParameterBase& operator=(const ParameterBase&) = delete;

  const std::string name;  // the XML name in parameters.xml (a button's caption)
};

// Bool, int and float settings. The limits never change after construction.
template <typename T>
class Parameter : public ParameterBase {
 public:
  Parameter(std::string name_, T defaultValue_, T minValue_, T maxValue_)
      : ParameterBase(std::move(name_)),
        defaultValue(defaultValue_),
        minValue(minValue_),
        maxValue(maxValue_),
        value_(defaultValue_) {}

  const T defaultValue;
  const T minValue;
  const T maxValue;

  T value() const { return value_.load(std::memory_order_relaxed); }
  void setValue(T v) { value_.store(v, std::memory_order_relaxed); }

 private:
  std::atomic<T> value_;
};

template <>
class Parameter<std::string> : public ParameterBase {
 public:
  Parameter(std::string name_, const std::string& defaultValue_)
      : ParameterBase(std::move(name_)),
        defaultValue(defaultValue_),
        minValue(defaultValue_),
        maxValue(defaultValue_),
        value_(defaultValue_) {}

  const std::string defaultValue;
  const std::string minValue;
  const std::string maxValue;

  std::string value() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void setValue(std::string v) {
    std::lock_guard lock(mutex_);
    value_ = std::move(v);
  }

 private:
  mutable std::mutex mutex_;  // guards value_
  std::string value_;
};

// The read/addDefault operations (parameters.xml) are defined in settings_file.cpp; log() here.
class BoolParameter : public Parameter<bool> {
 public:
  // Minimum and maximum carry no meaning for a bool: all four equal the default.
  BoolParameter(std::string name_, bool defaultValue_)
      : Parameter<bool>(std::move(name_), defaultValue_, defaultValue_, defaultValue_) {}

  // Loads the value from the document's entry (default when absent); true when present.
  bool read(const pugi::xml_document& document);
  // Appends the entry with the default under the document and takes the default.
  void addDefault(pugi::xml_document& document);
  // "{}={}" through gf_logIfActive, the value as "true"/"false".
  void log() const;
};

class IntParameter : public Parameter<int> {
 public:
  IntParameter(std::string name_, int defaultValue_, int minValue_, int maxValue_)
      : Parameter<int>(std::move(name_), defaultValue_, minValue_, maxValue_) {}

  bool read(const pugi::xml_document& document, bool logIt);
  void addDefault(pugi::xml_document& document);
  void log() const;
};

// Float settings are never stored in parameters.xml.
class FloatParameter : public Parameter<float> {
 public:
  FloatParameter(std::string name_, float defaultValue_, float minValue_, float maxValue_)
      : Parameter<float>(std::move(name_), defaultValue_, minValue_, maxValue_) {}

  void log() const;  // "{}={}" with gf_float2string
};

class StringParameter : public Parameter<std::string> {
 public:
  StringParameter(std::string name_, const std::string& defaultValue_)
      : Parameter<std::string>(std::move(name_), defaultValue_) {}

  bool read(const pugi::xml_document& document);
  // Folder entries (lfolder/afolder): logged only when the value is not empty.
  bool readFolder(const pugi::xml_document& document);
  void addDefault(pugi::xml_document& document);
  void log() const;
};

// A window procedure, as given to createEdit for subclassing.
using ControlProc = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// The window-control part of a setting shown in the main window. The create operations and
// enable() are defined with the window code (parameter_controls.cpp).
class GuiControl {
 public:
  GuiControl(std::uint16_t controlId_, std::uint32_t y_) : controlId(controlId_), y(y_) {}
  virtual ~GuiControl() = default;
  GuiControl(const GuiControl&) = delete;
  GuiControl& operator=(const GuiControl&) = delete;

  // Creates an "Edit" child (style 0x50800000) at (x, y), width x 16, subclassed with proc (the
  // replaced procedure kept in previousProc); it starts disabled.
  void createEdit(HWND parent, HINSTANCE instance, int x, int width, ControlProc proc);
  // EnableWindow(hwnd, TRUE).
  void enable();

  const std::uint16_t controlId;  // WM_COMMAND identifier, 32771..32865
  const std::uint32_t y;          // row in the main window, pixels
  // The control's window; null until created. Written by the GUI thread, read by the worker.
  std::atomic<HWND> hwnd{nullptr};
  // Window procedure the control had before it was subclassed; 0 when not subclassed. GUI only.
  LONG_PTR previousProc = 0;
};

class CheckBoxParameter : public BoolParameter, public GuiControl {
 public:
  CheckBoxParameter(std::string name_, bool defaultValue_, std::uint16_t controlId_,
                    std::uint32_t y_)
      : BoolParameter(std::move(name_), defaultValue_), GuiControl(controlId_, y_) {}

  // A 12 x 12 "button" (style 0x50000002) at (x, y + 2), checked from value(), enabled.
  void createCheckBox(HWND parent, HINSTANCE instance, int x);
};

// An int (EditParameter) or float (FloatEditParameter) setting with an edit field.
template <typename Base>
class EditParameterOf : public Base, public GuiControl {
 public:
  template <typename T>
  EditParameterOf(std::string name_, T defaultValue_, T minValue_, T maxValue_,
                  std::uint16_t controlId_, std::uint32_t y_)
      : Base(std::move(name_), defaultValue_, minValue_, maxValue_), GuiControl(controlId_, y_) {}
};
using EditParameter = EditParameterOf<IntParameter>;
using FloatEditParameter = EditParameterOf<FloatParameter>;

class StringEditParameter : public StringParameter, public GuiControl {
 public:
  StringEditParameter(std::string name_, const std::string& defaultValue_,
                      std::uint16_t controlId_, std::uint32_t y_)
      : StringParameter(std::move(name_), defaultValue_), GuiControl(controlId_, y_) {}
};

// A push button: a name (its caption) and a control, no value.
class ButtonParameter : public ParameterBase, public GuiControl {
 public:
  ButtonParameter(std::string name_, std::uint16_t controlId_, std::uint32_t y_)
      : ParameterBase(std::move(name_)), GuiControl(controlId_, y_) {}

  // A "button" (style 0x50000001) with the name as caption at (x, y), width x 20, disabled.
  void createButton(HWND parent, HINSTANCE instance, int x, int width);
};

inline constexpr std::size_t kFolderSettings = 10;

// The settings, in the order of the settings table (XML name in quotes).
// MAIN_WINDOW_X and MAIN_WINDOW_Y are members of the main-window state (main_window_state.h).
extern StringParameter g_paramProgramInstallPath;           // "PROGRAM_INSTALL_PATH"
extern CheckBoxParameter g_paramHighPerfAircraft;           // "HIGH_PERF_AIRCRAFT"
extern CheckBoxParameter g_paramHelicopters;                // "HELICOPTERS"
extern CheckBoxParameter g_paramLightAircraft;              // "LIGHT_AIRCRAFT"
extern StringParameter g_paramProgramVersion;               // "PROGRAM_VERSION"
extern ButtonParameter g_paramFlushStatic;                  // "Flush static"
extern FloatEditParameter g_paramMaxFitFl;                  // "MAX_FIT_FL" (hours)
extern EditParameter g_paramMaxLive;                        // "MAX_LIVE" (-1 = not set)
extern CheckBoxParameter g_paramLearnSoft;                  // "LEARN_SOFT"
extern CheckBoxParameter g_paramWeek;                       // "WEEK"
extern EditParameter g_paramMaxFit;                         // "MAX_FIT" (half hours)
extern EditParameter g_paramParkingPercentage;              // "parking_percentage" (percent)
extern CheckBoxParameter g_paramParkFake;                   // "PARK_FAKE"
extern CheckBoxParameter g_paramParkSoft;                   // "PARK_SOFT"
extern CheckBoxParameter g_paramInitialLoadOnly;            // "INITIAL_LOAD_ONLY"
extern CheckBoxParameter g_paramAutoRange;                  // "AUTO_RANGE"
extern EditParameter g_paramLateralRange;                   // "LATERAL_RANGE" (nm)
extern IntParameter g_paramHoldingThresholdMeters;          // "HOLDING_THRESHOLD_METERS"
extern IntParameter g_paramMaxHoldingMinutes;               // "MAX_HOLDING_MINUTES"
extern IntParameter g_paramCustomParkingPercentage;         // "CUSTOM_PARKING_PERCENTAGE"
extern IntParameter g_paramLastEpochTime;                   // "LAST_EPOCH_TIME"
extern BoolParameter g_paramRandom;                         // "RANDOM"
extern StringParameter g_paramPortNumber;                   // "PORT_NUMBER" ("10747")
extern IntParameter g_paramP3dVersion;                      // "P3D_VERSION" (5 or 6)
extern std::array<StringParameter, kFolderSettings> g_paramLfolder;  // "lfolder0".."lfolder9"
extern std::array<StringParameter, kFolderSettings> g_paramAfolder;  // "afolder0".."afolder9"
extern StringEditParameter g_paramAllInstallPath;           // "ALL_INSTALL_PATH" (not stored)
extern StringParameter g_paramSimInstallPath;               // "SIM_INSTALL_PATH"
extern CheckBoxParameter g_paramScanLiveries;               // "SCAN_LIVERIES"
extern CheckBoxParameter g_paramLigAutomatic;               // "LIG_AUTOMATIC"
extern CheckBoxParameter g_paramLigPrioritize;              // "LIG_PRIORITIZE"
extern CheckBoxParameter g_paramSuppressStub;               // "SUPPRESS_STUB"
extern CheckBoxParameter g_paramLog;                        // "LOG"
extern CheckBoxParameter g_paramAlwaysOnTop;                // "ALWAYS_ON_TOP"
extern CheckBoxParameter g_paramScanAirports;               // "SCAN_AIRPORTS"
extern CheckBoxParameter g_paramAfgAutomatic;               // "AFG_AUTOMATIC"
extern CheckBoxParameter g_paramNavLightsWhileParked;       // "NAV_LIGHTS_WHILE_PARKED"
extern EditParameter g_paramMatchingDepth;                  // "MATCHING_DEPTH"
extern CheckBoxParameter g_paramAerowinx;                   // "AEROWINX"
extern CheckBoxParameter g_paramGuidChanges;                // "GUID_CHANGES"
extern EditParameter g_paramAutoRangeAboveHeight;           // "AUTO_RANGE_ABOVE_HEIGHT" (ft)
extern StringEditParameter g_paramBlockCallsign;            // "BLOCK_CALLSIGN"
extern ButtonParameter g_paramUnblock;                      // "Unblock"
extern CheckBoxParameter g_paramCollisionUserAir;           // "COLLISION_USER_AIR"
extern CheckBoxParameter g_paramCollisionUserGnd;           // "COLLISION_USER_GND"
extern CheckBoxParameter g_paramCollisionLiveParkedGnd;     // "COLLISION_LIVE_PARKED_GND"
extern EditParameter g_paramCustomMaxPark;                  // "CUSTOM_MAX_PARK" (-1 = not set)
extern StringEditParameter g_paramDestination;              // "DESTINATION"
extern EditParameter g_paramAirportRange;                   // "AIRPORT_RANGE" (nm)
extern EditParameter g_paramAirportHeight;                  // "AIRPORT_HEIGHT" (ft)
extern CheckBoxParameter g_paramStraightPbsOnly;            // "STRAIGHT_PBS_ONLY"
extern ButtonParameter g_paramReread;                       // "Re-read"

// Names of the meta block's entries (not settings, never in parameters.xml). gf_readMetaInfo
// stores the values it reads into them.
extern StringParameter g_metaAuthor;     // "author"
extern StringParameter g_metaDate;       // "date"
extern StringParameter g_metaVersion;    // "version"
extern StringParameter g_metaCopyright;  // "copyright": default is the program's copyright line
extern StringParameter g_metaMsfs;       // "MSFS"
extern StringParameter g_metaP3d;        // "P3D"

// Is the setting a folder entry (name holds "lfolder" or "afolder")?
bool gf_isFolderParameter(const ParameterBase& parameter);
