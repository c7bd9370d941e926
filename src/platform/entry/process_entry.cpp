// The process entry on this platform: the signal seams around the program's wWinMain.
#include "platform/signal_seams.h"
#include "platform/win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int show);

int main() {
  platform::gf_startSignalSeams();
  WCHAR commandLine[1] = {0};  // the program reads no arguments
  const int code = wWinMain(GetModuleHandleW(nullptr), nullptr, commandLine, SW_SHOWNORMAL);
  platform::gf_stopSignalSeams();
  return code;
}
