// The round modal dialogs of the update service.
#pragma once

#include <string>

#include "imaging/picture.h"

namespace snapdeck::win32 {

// Shows the message in window 2 with the theme's disc, caption colour and sound (or
// beeps) and waits: true for "Ok" or Return, false for Escape or a close request.
// A parent number naming no open window means no parent.
bool MessageBubble(const std::u16string& caption, const std::u16string& text, Rgb theme,
                   int parentWindow);

// Asks for the user name and password for host (shown above the fields, so the
// user knows whom they are for) in window 1. True when confirmed; then
// TheLoginState() holds the entered values.
bool LoginBubble(const std::u16string& host);

}  // namespace snapdeck::win32
