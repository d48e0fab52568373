#include "app/settings_at_exit.h"

#include "platform/paths.h"
#include "settings/settings_file.h"

namespace snapdeck {
namespace {

// The bubble's text box holds about three short lines, so the caption names the file.
std::u16string FileNameOf(const std::u16string& path) {
  std::u16string folder, name;
  SplitPath(path, folder, name);
  return name;
}

}  // namespace

std::optional<SettingsNotice> LoadSettingsAtStart(AppSettings& settings, FileSystem& files,
                                                  const std::u16string& path, bool& keepFile) {
  keepFile = LoadSettings(settings, files, path) == SettingsSource::Unreadable;
  if (!keepFile) return std::nullopt;
  return SettingsNotice{FileNameOf(path),
                        u"Could not be read: defaults are in use this time."};
}

std::optional<SettingsNotice> SaveSettingsAtExit(const AppSettings& settings, FileSystem& files,
                                                 const std::u16string& path, RandomSource& random,
                                                 bool keepFile) {
  if (keepFile || SaveSettings(settings, files, path, random)) return std::nullopt;
  return SettingsNotice{FileNameOf(path), u"Settings could not be saved."};
}

}  // namespace snapdeck
