#include <windows.h>

#include "app/startup_win32.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  return snapdeck::win32::RunProgram(instance);
}
