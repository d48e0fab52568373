// Reading and writing AppSettings as Snapdeck.ini.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/ports.h"
#include "platform/random.h"
#include "settings/app_settings.h"
#include "settings/preference_file.h"

namespace snapdeck {

inline constexpr char16_t kSettingsFileName[] = u"Snapdeck.ini";

// The colour chooser's 16 custom colours on a first start.
std::array<Rgb, 16> DefaultFrameColorList();

// Fills the settings from an opened file in the file's reading order. JLpath,
// shotfolderid, shotfolder[0] and shotname default to their current values (for
// shotfolder[0]: currentFolder when the entry is empty), so start-up sets those first.
// Does not normalise.
void ReadSettings(AppSettings& settings, const PreferenceFile& file);

// Brings every value a hand-edited file may have put out of range back to its default;
// see the rule at its definition. Leaves in-range values alone.
void NormalizeSettings(AppSettings& settings);

// Where the loaded values came from. Unreadable: the file exists but could not be read
// (locked, too large, a read error), so it holds settings that saving would destroy.
enum class SettingsSource { File, Missing, Unreadable };

// Reads the file (a missing or unreadable one gives the defaults), normalises, and sets
// currentFolder to the selected history entry.
SettingsSource LoadSettings(AppSettings& settings, FileSystem& fs, const std::u16string& path);

// The exact bytes of the settings file for these settings.
std::vector<std::uint8_t> SerializeSettings(const AppSettings& settings, RandomSource& random);

// Replaces the file with SerializeSettings; false when it could not be written, in
// which case the old file is left as it was.
bool SaveSettings(const AppSettings& settings, FileSystem& fs, const std::u16string& path,
                  RandomSource& random);

}  // namespace snapdeck
