// Window 3: the help and information window, modal to its parent.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/help_logic.h"

namespace snapdeck::win32 {

// Filled by the caller before each opening; ShowHelp leaves the last chosen language
// code in languageCode.
HelpInfo& TheHelpInfo();

// Runs the help window until Return, Escape, "close and back" or its close box. The
// parent is disabled meanwhile and enabled again on every way out, also when the
// window cannot be created.
void ShowHelp();

// The help window's handler of the shared window procedure: re-lays the window out on a size
// change, notes pressed links and draws the language list's items. Acts only while the
// help window and its text box exist; never changes the result.
bool HelpMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Opens a web address; the default hands it to the shell. Tests replace it so that no
// browser starts. Returns false when the address could not be opened.
using AddressOpener = bool (*)(const std::u16string& address);
void SetAddressOpener(AddressOpener opener);

}  // namespace snapdeck::win32
