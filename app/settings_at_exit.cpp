#include "app/settings_at_exit.h"

#include "settings/settings_file.h"

namespace snapdeck {
namespace {

// The bubble's text box holds about three short lines, so the caption names the file.
std::u16string FileNameOf(const std::u16string& path) {
  const std::size_t cut = path.find_last_of(u"\\/");
  return cut == std::u16string::npos ? path : path.substr(cut + 1);
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
