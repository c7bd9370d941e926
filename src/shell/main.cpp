// The process entry: one instance per user, the log, then the application.
#include <exception>

#include "foundation/log.h"
#include "shell/shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // The handle stays open for the life of the process: it is the instance's claim on the name.
  CreateMutexA(nullptr, FALSE, "Local\\$Zendrik_P3D$");
  if (GetLastError() == ERROR_ALREADY_EXISTS) return -1;
  try {
    gf_openLog();
  } catch (const std::exception&) {
    // Without Log.txt the program still runs; its lines are dropped.
  }
  return gf_runApplication(instance);
}
