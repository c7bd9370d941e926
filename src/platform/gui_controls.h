// Window procedures of the built-in control classes "button" and "Edit".
#pragma once

#include "platform/win32_gui.h"

namespace platform {

LRESULT gf_buttonProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT gf_editProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Colours of the built-in look (COLORREF).
constexpr COLORREF kWindowColor = 0xFFFFFF;
constexpr COLORREF kFaceColor = 0xF0F0F0;
constexpr COLORREF kGrayTextColor = 0x6D6D6D;
constexpr COLORREF kFocusColor = 0xD77800;  // blue frame of the focused edit

// A brush of the given colour owned by the layer (made once, never deleted).
HBRUSH gf_layerBrush(COLORREF color);

}  // namespace platform
