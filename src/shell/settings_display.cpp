// A setting's value written into its window control, and the string setters. Any thread: the
// control calls are the layer's thread-safe state changes.
#include <fmt/format.h>

#include "foundation/errors.h"
#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/settings_file.h"
#include "foundation/strings.h"
#include "foundation/text_file.h"
#include "shell/shell.h"

namespace {

// Sets the text of the main window's control with this id and repaints the settings area.
void lf_setControlText(std::uint16_t controlId, const std::string& text) {
  try {
    const WString wide = Utf8ToUtf16(text);
    if (HWND window = g_hWnd.load(); window != nullptr) {
      if (HWND control = GetDlgItem(window, controlId); control != nullptr) {
        SetWindowTextW(control, wide.c_str());
      }
    }
    g_mainWindowState.invalidate(kSettingsArea);
  } catch (const win32::Utf8ConversionException& e) {
    gf_logError(fmt::format("control {} conversion exception {}, error code: {}", controlId,
                            e.what(), e.errorCode()));
  }
}

}  // namespace

void gf_showIntParameter(EditParameter& parameter) {
  lf_setControlText(parameter.controlId, fmt::format("{}", parameter.value()));
}

void gf_showFloatParameter(FloatEditParameter& parameter) {
  lf_setControlText(parameter.controlId, gf_float2string(parameter.value()));
}

void gf_showStringParameter(StringEditParameter& parameter) {
  lf_setControlText(parameter.controlId, parameter.value());
}

void gf_clearControlText(std::uint16_t controlId) {
  lf_setControlText(controlId, std::string());
}

void gf_setStringParameter(StringParameter& parameter, const std::string& value) {
  parameter.setValue(value);
  gf_saveStringParameter(parameter);
}
