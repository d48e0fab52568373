// Decisions of the main event loop that need no window: what a close request, a
// shortcut or a menu choice does, the folder drop-down rule, shading, and the sizes
// and texts the main window derives from the settings.
#pragma once

#include <string>
#include <string_view>

#include "platform/ports.h"
#include "settings/app_settings.h"
#include "settings/frame_style.h"

namespace snapdeck {

enum class LoopAction { None, Quit, Click };

struct LoopCommand {
  LoopAction action = LoopAction::None;
  int control = 0;  // the control to click for LoopAction::Click
  bool operator==(const LoopCommand&) const = default;
};

// A close request of the main window or the viewer. viewerOpen: the "toggle viewer"
// button is on and the viewer window exists; then only the viewer closes.
LoopCommand CloseCommand(bool viewerOpen);

// A keyboard shortcut or a menu choice by its number. Shortcuts are ignored while the
// program sits in the tray; activeWindow is the number of the active program window
// (-1 when none). Menu choices handled by other parts (viewer pop-up 0-3, tray 5 and 6)
// give LoopAction::None here.
LoopCommand MenuCommand(int number, bool inTray, int activeWindow);

// The folder drop-down's text becomes the current folder (true) when it is not empty
// and, ended by its separator, differs exactly from the current one; otherwise the
// drop-down goes back to entry shotfolderid.
bool FolderTextAccepted(std::u16string_view text, std::u16string_view currentFolder);

// Ctrl held while the track bar moves snaps the shading back to neutral.
int ShadingValue(bool ctrlHeld, int trackPosition);

// The field inside the frame of the status picture: (width - 2t) x (height - 2t), at
// least one pixel each way so that the picture always exists.
void StatusFieldSize(const AppSettings& s, int& w, int& h);

// Inner size of the main window around a device screen: (width + 20) x (height + 200).
void MainInnerSize(const AppSettings& s, int& w, int& h);

// Its inverse within the screen: the largest device screen whose main window, with
// borders of borderW x borderH around the inner area, fits a work area of workW x workH
// (at least 1 x 1).
void LargestPreviewSize(int workW, int workH, int borderW, int borderH, int& w, int& h);

// The direction button's glyph: "5" for 0, "6" otherwise.
std::u16string DirectionGlyph(int direction);

// Tool tip of the push-to-tray button.
std::u16string TrayButtonTip(int hotkey, int hotkeyCAS);
// Tool tip of the tray icon: the title, CR LF, the hotkey.
std::u16string TrayIconTip(int hotkey, int hotkeyCAS);

// Extension of a format index (ShotFormat); out of range gives ".png".
std::u16string FormatExtension(int shotext);

// The stem as a screenshot uses it: a typed extension removed, then the next free
// running number when auto-numbering is on.
std::u16string PrepareShotStem(std::u16string_view typed, const AppSettings& s, FileSystem& fs);

}  // namespace snapdeck
