#include "app/viewer_actions_win32.h"

#include <windows.h>

#include <optional>
#include <string>

#include "app/capture_host_win32.h"
#include "app/clipboard_win32.h"
#include "app/viewer_actions.h"
#include "dialogs/bubble_theme.h"
#include "dialogs/bubble_win32.h"
#include "resources/ids.h"
#include "shell/events_win32.h"
#include "shell/shell_win32.h"
#include "viewer/viewer_window_win32.h"

namespace snapdeck::win32 {
namespace {

class ViewerWindowHost final : public ViewerActionHost {
 public:
  void playSound(int number) override { PlaySoundNumber(number); }
  bool putOnClipboard(const Picture& picture) override { return PutPictureOnClipboard(picture); }
  void setStatus(std::u16string_view text) override { SetViewerStatus(std::u16string(text)); }
  void warnAlreadyFramed() override {
    MessageBubble(u"Warning:", u"this picture already has a frame", kThemeCaution, id::kViewer);
  }
  void removeThumbnail(int control) override { RemoveThumbnail(control); }
  void refresh() override { RefreshThumbnails(); }
};

// The file of the thumbnail last clicked. A copy, not an index into the catalogue: a
// rescan between the right click and the menu choice must not move the action onto
// another file.
std::optional<ShotFile>& Target() {
  static std::optional<ShotFile> target;
  return target;
}

void Run(ShotAction action, bool fromMenu) {
  if (!Target()) return;
  ViewerWindowHost host;
  Shell& shell = TheShell();
  ViewerActionContext ctx{shell.settings, shell.pictures, *TheServices().files, host};
  RunShotAction(ctx, action, *Target(), fromMenu);
}

bool KeyHeld(HeldKey key) {
  int virtualKey = VK_SHIFT;
  if (key == HeldKey::Delete) virtualKey = VK_DELETE;
  if (key == HeldKey::Ctrl) virtualKey = VK_CONTROL;
  return (GetAsyncKeyState(virtualKey) & 0x8000) != 0;
}

// Menu 73's entry named after the file; "&" is doubled so it shows instead of
// underlining the next letter.
void ShowShotMenu(const std::u16string& stem) {
  HMENU menu = ShotMenu();
  HWND viewer = ViewerWindow();
  if (menu == nullptr || viewer == nullptr) return;
  std::wstring title;
  for (wchar_t c : Wide(stem)) {
    if (c == L'&') title += L'&';
    title += c;
  }
  // Only the text changes: replacing a submenu entry with ModifyMenu destroys the submenu.
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_STRING;
  item.dwTypeData = title.data();
  SetMenuItemInfoW(menu, 0, TRUE, &item);
  POINT at{};
  GetCursorPos(&at);
  TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, viewer,
                 nullptr);
}

void OnThumbnail(ShotCatalogue& catalogue, int control, int type) {
  const int index = (control - id::kFirstThumbnail) / 3;
  if (control >= id::kFirstThumbnail && index < catalogue.count()) {
    catalogue.current = index;
    const ShotEntry& entry = catalogue.entries[static_cast<std::size_t>(index)];
    Target() = ShotFile{entry.path(), entry.ext, id::kFirstThumbnail + 3 * index};
    if (type == kRightClick) ShowShotMenu(entry.stem);
    if (type == kDoubleClick) Run(DoubleClickAction(KeyHeld), false);
  }
  FocusThumbnailColumn();
}

}  // namespace

void InstallViewerActions() { SetThumbnailHandler(OnThumbnail); }

bool IsShotMenuItem(int number) {
  return number >= id::kShotMenuCopy && number <= id::kShotMenuDelete;
}

void OnShotMenuItem(int item) {
  // By item number: 0 copy, 1 remove frame, 2 add frame, 3 delete.
  static constexpr ShotAction kActions[] = {ShotAction::Copy, ShotAction::RemoveFrame,
                                            ShotAction::AddFrame, ShotAction::Delete};
  if (!IsShotMenuItem(item)) return;
  Run(kActions[item], true);
  FocusThumbnailColumn();
}

}  // namespace snapdeck::win32
