// Status and error lines of the main window.
#include "foundation/messages.h"

#include <fmt/format.h>

#include <algorithm>

#include "foundation/log.h"
#include "foundation/main_window_state.h"
#include "foundation/text_file.h"

void gf_showMessage(const std::string& raw, bool log) {
  // Text read from files may be of another code page: the window could not draw it at all.
  const std::string text = gf_displayableUtf8(raw);
  MainWindowState& state = g_mainWindowState;
  {
    std::lock_guard lock(state.mutex);
    if (!state.errorText.empty()) return;  // an error line stays until the next run
    state.statusText = text;
    state.statusTimer.store(text.empty() ? 0u : std::max(state.statusSeconds.load(), 1u));
    // Logged under the window mutex, so no message line follows the line of a later error.
    if (log && !text.empty()) gf_logIfActive(text);
  }
  state.invalidate(kStatusArea);
}

void gf_clearMessage() {
  gf_showMessage(std::string(), true);
}

void gf_showError(const std::string& raw) {
  const std::string text = gf_displayableUtf8(raw);
  MainWindowState& state = g_mainWindowState;
  {
    std::lock_guard lock(state.mutex);
    state.statusText.clear();
    state.statusTimer.store(0);
    state.errorText = text;
    gf_logIfActive(fmt::format("Error {}", text));
  }
  state.invalidate(kStatusArea);
}
