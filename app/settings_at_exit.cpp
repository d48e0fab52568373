#include "app/settings_at_exit.h"

#include "settings/settings_file.h"

namespace snapdeck {

std::optional<ExitNotice> SaveSettingsAtExit(const AppSettings& settings, FileSystem& files,
                                             const std::u16string& path, RandomSource& random) {
  if (SaveSettings(settings, files, path, random)) return std::nullopt;
  // The bubble's text box holds about three short lines.
  const std::size_t cut = path.find_last_of(u"\\/");
  const std::u16string name = cut == std::u16string::npos ? path : path.substr(cut + 1);
  return ExitNotice{name, u"Settings could not be saved."};
}

}  // namespace snapdeck
