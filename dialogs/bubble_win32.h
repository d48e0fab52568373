// The round modal dialogs of the update service.
#pragma once

#include <optional>
#include <string>

#include "imaging/picture.h"

namespace snapdeck::win32 {

// Shows the message in window 2 with the theme's disc, caption colour and sound (or
// beeps) and waits: true for "Ok" or Return, false for Escape or a close request.
// A parent number naming no open window means no parent.
bool MessageBubble(const std::u16string& caption, const std::u16string& text, Rgb theme,
                   int parentWindow);

// A user name and password as the login bubble edits them.
struct Credentials {
  std::u16string userName;
  std::u16string password;
};

// Asks for the user name and password for host (shown above the fields, so the
// user knows whom they are for) in window 1, over the update window, with the preset
// in the fields. The entries when confirmed; nothing for Cancel, Escape or a close
// request.
std::optional<Credentials> LoginBubble(const std::u16string& host, const Credentials& preset);

}  // namespace snapdeck::win32
