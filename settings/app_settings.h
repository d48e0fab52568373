// The one record of persisted settings. Field names are the keys of Snapdeck.ini.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "imaging/codec.h"
#include "imaging/frame.h"
#include "imaging/palette.h"
#include "imaging/picture.h"

namespace snapdeck {

inline constexpr int kFolderHistorySize = 16;
inline constexpr int kPasswordSlots = 5;  // slot 0 is never used; devices are 1..4

struct AppSettings {
  std::u16string JLpath;  // folder of the device tool, ends with a backslash
  std::int32_t shotfolderid = 0;
  std::array<std::u16string, kFolderHistorySize> shotfolder{};  // folder history
  std::u16string shotname = u"snapdeck";
  std::int32_t shotext = static_cast<std::int32_t>(ShotFormat::Png);
  std::int32_t shotsize = kUnscaledIndex;
  std::int32_t width = 240;
  std::int32_t height = 160;
  std::int32_t autonumber = 0;
  std::int32_t includepin = 0;
  std::int32_t framethickness = 1;
  std::int32_t frameeffect = 8;
  std::int32_t frameeffectdir = 1;
  Rgb framecolor = palette::kRed;
  std::array<Rgb, 16> framecolorlist{};
  std::int32_t stayontop = 1;
  std::int32_t sound = 1;
  std::u16string langcode = u"US";
  std::int32_t rememberPassword = 1;
  std::array<std::u16string, kPasswordSlots> passwords{};  // plain text in memory
  std::int32_t killtimeout = 32;
  std::int32_t connecttimeout = 255;
  std::int32_t passwordtimeout = 255;
  std::int32_t sortview = 4;
  std::int32_t sortdir = 1;
  // Read by the hotkey poller thread while the UI thread may change them.
  std::atomic<std::int32_t> hotkey{0};
  std::atomic<std::int32_t> hotkeyCAS{0};

  // Not persisted: the folder new screenshots go to (text of the selected history entry).
  std::u16string currentFolder;
};

}  // namespace snapdeck
