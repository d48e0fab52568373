// Window 5: the main window with its controls, tray menu and shortcuts, the status
// line and the progress picture, and the handler that keeps its size limits, layout
// and label colours.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "imaging/picture.h"
#include "imaging/status.h"

namespace snapdeck::win32 {

// Creates window 5 hidden, with every control (the control ID is its number), menu 59
// and the five shortcuts, and installs the main window's message handler.
HWND BuildMainWindow();
// Releases window 5, its menu, shortcuts and the bitmaps its controls show.
void DestroyMainWindow();

HWND MainWindow();
// A control of the main window by its number (nullptr when there is none).
HWND MainControl(int number);
// Menu 59, the tray icon's pop-up menu.
HMENU TrayMenu();

// Copies the settings into the controls (folder history and selection, stem, format,
// scale, check boxes, thickness, shading, direction, tool tip of 53, swatch, pin, the
// check mark of the system menu's "Clean status bar on phones").
void PutSettingsIntoControls();
// The 16 item texts of the folder drop-down ("" for a missing item).
std::array<std::u16string, 16> FolderHistoryFromControl();
// Rebuilds the folder drop-down from the entries and selects one of them.
void FillFolderControl(const std::array<std::u16string, 16>& entries, int selected);

// Redraws picture 26 from the frame colour and thickness and shows it in control 43.
void RefreshSwatch();
// Shows a numbered picture of the store on a picture button or picture control.
void ShowStorePicture(int control, int picture);
// Picture 27/28 on button 51, then topmost or not for window 5 and the viewer.
void ApplyStayOnTop();
// Picture 29/30 on button 52.
void ShowSoundState();
// The system colour dialog owned by window 5, starting at `initial`; the custom colours
// are edited in place. The chosen colour, or -1 when cancelled.
int ChooseFrameColor(Rgb initial, std::array<Rgb, 16>& customColors);

// Renders picture 23 with the caption " Snapdeck " for the current frame settings.
void RenderIdleStatus();
// Puts picture 23 into control 50.
void ShowStatusPicture();
// Swatch, " Snapdeck " status picture, control 50: after a frame setting changed.
void RefreshStatusLine();

// Resizes the inner area of window 5, keeping its position.
void ResizeMainInner(int innerWidth, int innerHeight);
// The largest device-screen size (settings width x height) whose window 5 fits the
// desktop work area.
void LargestMainPreview(int& width, int& height);
// The wait cursor during long operations, the arrow otherwise.
void SetWaitCursor(bool wait);

// The progress picture of control 54. Redraws made while `pumping` is set (the
// capture job's) also process one pending window event.
ProgressBar& MainProgress();
void SetProgressPumping(bool pumping);

// Which notification of the folder drop-down produced its last event: a selection in
// the list (its text is then the selected item's) or typing.
bool TakeFolderSelectionFlag();

}  // namespace snapdeck::win32
