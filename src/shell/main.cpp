// The process entry: one instance per user, the log, then the application.
#include "foundation/log.h"
#include "foundation/settings_file.h"
#include "shell/shell.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  // The handle stays open for the life of the process: it is the instance's claim on the name.
  CreateMutexA(nullptr, FALSE, "Local\\$Zendrik_P3D$");
  if (GetLastError() == ERROR_ALREADY_EXISTS) return -1;
  // A program folder that cannot be written keeps its log in AppData; with neither the program
  // still runs, its lines dropped, and the worker names the folder in the window.
  gf_openLogOrFallback(g_appDataFolder);
  return gf_runApplication(instance);
}
