// Window 3: the help and information window, modal to its parent.
#pragma once

#include <windows.h>

#include <string>

#include "dialogs/help_logic.h"

namespace snapdeck::win32 {

// Runs the help window for the request until Return, Escape, "close and back" or its
// close box, and answers the language code chosen last (the request's when none was
// chosen or the window could not open). The parent is disabled meanwhile and enabled
// again on every way out.
std::u16string ShowHelp(const HelpInfo& request);

// Shared-window-procedure handler (HandlerSlot::Help): re-lays the window out on a size
// change, notes pressed links and draws the language list's items. Acts only while the
// help window and its text box exist; never changes the result.
bool HelpMessageHandler(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

// Opens a web address; the default hands it to the shell. Tests replace it so that no
// browser starts. Returns false when the address could not be opened.
using AddressOpener = bool (*)(const std::u16string& address);
void SetAddressOpener(AddressOpener opener);

}  // namespace snapdeck::win32
