// Saving the settings when the program ends, so that a file that cannot be written is
// told to the user instead of being lost without a word.
#pragma once

#include <optional>
#include <string>

#include "platform/ports.h"
#include "platform/random.h"
#include "settings/app_settings.h"

namespace snapdeck {

// The message bubble's caption and text.
struct ExitNotice {
  std::u16string caption;
  std::u16string text;
};

// Writes the settings to path. When that fails (read-only file, full disk) the old file
// is left as it was and the notice for the user comes back; nothing when all is saved.
std::optional<ExitNotice> SaveSettingsAtExit(const AppSettings& settings, FileSystem& files,
                                             const std::u16string& path, RandomSource& random);

}  // namespace snapdeck
