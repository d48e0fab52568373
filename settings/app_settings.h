// The one record of persisted settings. Field names are the keys of Snapdeck.ini.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "imaging/picture.h"

namespace snapdeck {

inline constexpr int kFolderHistorySize = 16;
inline constexpr int kPasswordSlots = 5;  // slot 0 is never used; devices are 1..4

struct AppSettings {
  // Every setting of the file at its default (the table in settings_file.cpp).
  AppSettings();

  std::u16string JLpath;  // folder of the device tool, ends with a backslash
  std::int32_t shotfolderid;
  std::array<std::u16string, kFolderHistorySize> shotfolder{};  // folder history
  std::u16string shotname;
  std::int32_t shotext;   // a ShotFormat
  std::int32_t shotsize;  // index into kScalePercents
  std::int32_t width;
  std::int32_t height;
  std::int32_t autonumber;
  std::int32_t includepin;
  std::int32_t framethickness;
  std::int32_t frameeffect;
  std::int32_t frameeffectdir;
  Rgb framecolor;
  std::array<Rgb, 16> framecolorlist{};
  std::int32_t stayontop;
  std::int32_t sound;
  std::u16string langcode;
  std::int32_t rememberPassword;
  std::array<std::u16string, kPasswordSlots> passwords{};  // plain text in memory
  std::int32_t killtimeout;
  std::int32_t connecttimeout;
  std::int32_t passwordtimeout;
  std::int32_t sortview;
  std::int32_t sortdir;
  std::int32_t hotkey;     // row of the hotkey table, 0 "-off-"
  std::int32_t hotkeyCAS;  // modifier bits: 1 Ctrl, 2 Alt, 4 Shift
  std::int32_t cleanstatusbar;  // 1: phones show System UI's demo status bar in a shot

  // Not persisted: the folder new screenshots go to (text of the selected history entry).
  std::u16string currentFolder;
};

}  // namespace snapdeck
