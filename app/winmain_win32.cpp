#include <windows.h>

#include "app/clipboard_win32.h"
#include "app/help_command_win32.h"
#include "app/startup_win32.h"
#include "platform/win32/system_libraries_win32.h"
// Generated for each executable from the donation-address and update build settings.
#include "donation_address.h"
#include "update_build.h"

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  snapdeck::win32::RestrictLibrarySearch();
  snapdeck::win32::SetDonationAddress(SNAPDECK_DONATION_ADDRESS);
  snapdeck::win32::SetUpdateBuild(SNAPDECK_UPDATE_KEY_HEX,
                                  SNAPDECK_UPDATE_ADDRESS_FROM_ENVIRONMENT);
  const int code = snapdeck::win32::RunProgram(instance);
  snapdeck::win32::HandOverClipboard();
  return code;
}
