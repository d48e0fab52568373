#include <windows.h>

#include "app/help_command_win32.h"
#include "app/startup_win32.h"
#include "platform/win32/system_libraries_win32.h"
// Generated for each executable from the donation-address build setting.
#include "donation_address.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  snapdeck::win32::RestrictLibrarySearch();
  snapdeck::win32::SetDonationAddress(SNAPDECK_DONATION_ADDRESS);
  return snapdeck::win32::RunProgram(instance);
}
