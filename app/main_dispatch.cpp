#include "app/main_dispatch.h"

#include <algorithm>

#include "app/main_logic.h"
#include "imaging/codec.h"
#include "platform/file_names.h"
#include "program_version.h"
#include "resources/ids.h"
#include "shell/tables.h"

namespace snapdeck {

LoopCommand CloseCommand(bool viewerOpen) {
  if (viewerOpen) return {LoopAction::Click, id::kViewerClose};
  return {LoopAction::Quit, 0};
}

LoopCommand MenuCommand(int number, bool inTray, int activeWindow) {
  switch (number) {
    case id::kTrayItemExit:
      return {LoopAction::Quit, 0};
    case id::kKeyEnter:
    case id::kKeyEscape:
    case id::kKeyF1:
    case id::kKeyF5:
    case id::kKeyF6:
    case id::kKeyF9:
      break;
    default:
      return {};
  }
  if (inTray) return {};
  switch (number) {
    case id::kKeyEnter:
      return {LoopAction::Click, id::kTakeScreenshot};
    case id::kKeyEscape:
      return {LoopAction::Quit, 0};
    case id::kKeyF1:
      return {LoopAction::Click, id::kHelpButton};
    case id::kKeyF6:
      return {LoopAction::Click, id::kUpdateButton};
    case id::kKeyF9:
      if (activeWindow == id::kMainWindow) return {LoopAction::Click, id::kToggleViewer};
      if (activeWindow == id::kViewer) return {LoopAction::Click, id::kViewerClose};
      return {};
    case id::kKeyF5:
      if (activeWindow == id::kViewer) return {LoopAction::Click, id::kViewerRefresh};
      return {};
    default:
      return {};
  }
}

bool FolderTextAccepted(std::u16string_view text, std::u16string_view currentFolder) {
  return !text.empty() && FolderWithSeparator(text) != currentFolder;
}

int ShadingValue(bool ctrlHeld, int trackPosition) { return ctrlHeld ? 8 : trackPosition; }

void StatusFieldSize(const AppSettings& s, int& w, int& h) {
  const long long t = s.framethickness;
  w = static_cast<int>(std::clamp<long long>(s.width - 2 * t, 1, kMaxPictureSide));
  h = static_cast<int>(std::clamp<long long>(s.height - 2 * t, 1, kMaxPictureSide));
}

void MainInnerSize(const AppSettings& s, int& w, int& h) {
  // Far beyond any screen, so the sums cannot overflow; the window manager clamps.
  w = static_cast<int>(std::clamp<long long>(s.width + 20LL, 0, 100000));
  h = static_cast<int>(std::clamp<long long>(s.height + 200LL, 0, 100000));
}

void LargestPreviewSize(int workW, int workH, int borderW, int borderH, int& w, int& h) {
  w = static_cast<int>(std::max<long long>(1LL * workW - borderW - 20, 1));
  h = static_cast<int>(std::max<long long>(1LL * workH - borderH - 200, 1));
}

std::u16string DirectionGlyph(int direction) {
  return std::u16string(kDirectionGlyphs[direction == 0 ? 0 : 1]);
}

std::u16string TrayButtonTip(int hotkey, int hotkeyCAS) {
  return u"push to tray - Hotkey: " + HotkeyText(hotkey, hotkeyCAS);
}

std::u16string TrayIconTip(int hotkey, int hotkeyCAS) {
  return u"Snapdeck " SNAPDECK_VERSION_TEXT "\r\n" + HotkeyText(hotkey, hotkeyCAS);
}

std::u16string FormatExtension(int shotext) {
  const ShotFormat format =
      IsShotFormat(shotext) ? static_cast<ShotFormat>(shotext) : ShotFormat::Png;
  return std::u16string(ExtensionOf(format));
}

std::u16string PrepareShotStem(std::u16string_view typed, const AppSettings& s, FileSystem& fs) {
  std::u16string stem = StripStemExtension(typed);
  if (s.autonumber != 0) {
    stem = NextAutoNumberName(stem, s.currentFolder, FormatExtension(s.shotext), fs);
  }
  return stem;
}

}  // namespace snapdeck
