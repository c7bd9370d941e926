// The window's status line and error line, written from every thread. These store the text
// under the window mutex and invalidate the status line; the GUI thread paints it (WM_PAINT).
#pragma once

#include <string>

// Shows text in the status line; with log set and a non-empty text it also goes to the log
// (gf_logIfActive). Nothing happens while an error is shown. Bytes that are no UTF-8 show as
// '?' here and in gf_showError.
void gf_showMessage(const std::string& text, bool log);
// Empties the status line (gf_showMessage with "" and log set).
void gf_clearMessage();
// Shows text as the error line (red), empties the status line and logs "Error {}". Later
// messages are ignored until the error text is emptied (next run, install-path entry).
void gf_showError(const std::string& text);
