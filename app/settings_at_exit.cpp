#include "app/settings_at_exit.h"

#include "platform/paths.h"
#include "settings/settings_file.h"

namespace snapdeck {

std::optional<ExitNotice> SaveSettingsAtExit(const AppSettings& settings, FileSystem& files,
                                             const std::u16string& path, RandomSource& random) {
  if (SaveSettings(settings, files, path, random)) return std::nullopt;
  // The bubble's text box holds about three short lines.
  std::u16string folder, name;
  SplitPath(path, folder, name);
  return ExitNotice{name, u"Settings could not be saved."};
}

}  // namespace snapdeck
