// The program's resources: its string table, its icon and the arrow cursor.
#include "platform/win32_gui.h"

#include <cstring>

struct HICON__ {
  WORD id;
};

namespace {

struct StringResource {
  UINT id;
  const char16_t* text;
};

constexpr StringResource kStrings[] = {
    {101, u"Zendrik_P3D"},  // program name: window title and class name
};

constexpr WORD kProgramIcon = 100;
constexpr WORD kStockResource = 32512;  // IDC_ARROW, IDI_APPLICATION

HICON__ g_programIcon{kProgramIcon};
HICON__ g_applicationIcon{kStockResource};
HICON__ g_arrowCursor{kStockResource};
char g_moduleToken = 0;  // the one module: its address is the instance handle

}  // namespace

HMODULE GetModuleHandleW(LPCWSTR moduleName) {
  if (moduleName != nullptr) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(&g_moduleToken);
}

int LoadStringW(HINSTANCE, UINT id, LPWSTR buffer, int maxCount) {
  for (const auto& s : kStrings) {
    if (s.id != id) continue;
    const int length = static_cast<int>(std::char_traits<char16_t>::length(s.text));
    if (buffer == nullptr) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    if (maxCount == 0) {
      // A zero size asks for a read-only pointer to the resource text.
      *reinterpret_cast<const WCHAR**>(buffer) = s.text;
      return length;
    }
    if (maxCount < 0) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return 0;
    }
    const int n = length < maxCount - 1 ? length : maxCount - 1;
    std::memcpy(buffer, s.text, static_cast<std::size_t>(n) * sizeof(WCHAR));
    buffer[n] = 0;
    return n;
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return 0;
}

HICON LoadIconW(HINSTANCE instance, LPCWSTR name) {
  if (!IS_INTRESOURCE(name)) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  const auto id = static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name));
  if (instance == nullptr && id == kStockResource) return &g_applicationIcon;
  if (instance != nullptr && id == kProgramIcon) return &g_programIcon;
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}

HCURSOR LoadCursorW(HINSTANCE instance, LPCWSTR name) {
  if (instance == nullptr && IS_INTRESOURCE(name) &&
      reinterpret_cast<ULONG_PTR>(name) == kStockResource) {
    return &g_arrowCursor;
  }
  SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
  return nullptr;
}
