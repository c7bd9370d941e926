// Text drawing of the status panel, shared by its painting files. GUI thread, inside WM_PAINT.
#pragma once

#include <string>

#include "platform/win32.h"

// The panel's colours (COLORREF, 0x00BBGGRR).
inline constexpr COLORREF kGreen = 0x32CD32;
inline constexpr COLORREF kYellow = 0x00FFFF;
inline constexpr COLORREF kRed = 0x0000FF;
inline constexpr COLORREF kBlack = 0x000000;
inline constexpr COLORREF kGrey = 0xA0A0A0;

// Draws UTF-8 text with its top left at (x, y) on a transparent background. A text that does
// not convert is logged and skipped.
void lf_textOut(HDC dc, int x, int y, const std::string& text, COLORREF colour);
// Black when enabled, else grey.
void lf_textOutEnabled(HDC dc, int x, int y, const std::string& text, bool enabled);
// The labels beside the settings' controls.
void lf_paintSettingLabels(HDC dc);
