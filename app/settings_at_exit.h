// Loading the settings at start and saving them when the program ends, so that a file
// that cannot be read or written is told to the user instead of being lost without a
// word.
#pragma once

#include <optional>
#include <string>

#include "platform/ports.h"
#include "platform/random.h"
#include "settings/app_settings.h"

namespace snapdeck {

// The message bubble's caption and text.
struct SettingsNotice {
  std::u16string caption;
  std::u16string text;
};

// Loads the settings from path. When the file exists but cannot be read (locked, too
// large, a read error), this run goes on with the defaults, keepFile becomes true so
// that the exit leaves the file as it is, and the notice for the user comes back.
std::optional<SettingsNotice> LoadSettingsAtStart(AppSettings& settings, FileSystem& files,
                                                  const std::u16string& path, bool& keepFile);

// Writes the settings to path unless keepFile. When that fails (read-only file, full
// disk) the old file is left as it was and the notice for the user comes back; nothing
// when all is saved or the file is kept.
std::optional<SettingsNotice> SaveSettingsAtExit(const AppSettings& settings, FileSystem& files,
                                                 const std::u16string& path, RandomSource& random,
                                                 bool keepFile);

}  // namespace snapdeck
