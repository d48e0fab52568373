// Window 6: the viewer with its thumbnail column, sort controls, status bar and the
// ShotMenu, and the handler that keeps its size limits, layout and label colours. The
// event loop runs the sequences that open, refresh and close it through these calls.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "viewer/shot_catalogue.h"
#include "viewer/viewer_state.h"

namespace snapdeck::win32 {

// Window 6, or nullptr while the viewer is closed.
HWND ViewerWindow();
bool ViewerExists();

// Creates and shows window 6 for the state, where the placement says. The placement is
// the caller's and must outlive the window: the viewer keeps its geometry and scroll
// position there, for the next opening. Without activate the window is shown behind the
// user's work, which keeps the keyboard focus.
void OpenViewer(const ViewerState& state, ViewerPlacement& placement, bool activate = true);
// Stores the geometry (unless minimised), stops loading and destroys the window.
void CloseViewer();
// The folder the next ScanShots lists.
void SetViewerFolder(const std::u16string& folder);
// Rebuilds the catalogue from the state's folder and shows its count. The column's
// scroll position is remembered first, so that every rebuild keeps the user's place.
void ScanShots();
// Replaces the thumbnail column by one for the catalogue and restores the scroll position.
// The column takes the keyboard focus only while the viewer is the active window.
void BuildThumbnails();
// ScanShots and BuildThumbnails, for callers whose change altered the folder's files
// (a capture, a viewer action). Nothing happens while the viewer is closed.
void RefreshThumbnails();

// The placement's x, y and inner size from window 6; nothing while it is minimised.
void StoreViewerGeometry();
// Window 6's current inner width (0 when closed).
int ViewerInnerWidth();
// The column width from the placement's window size and the screen metrics.
void SetColumnWidthFromWindow();
// The glyph of the state's sort direction on button 64.
void ShowSortDirection();

// Field 0 of the viewer's status bar.
void SetViewerStatus(const std::u16string& text);
std::u16string ViewerStatus();

// Removes a thumbnail's image control (a deleted file), leaving its row in place until
// the next rebuild.
void RemoveThumbnail(int control);

void FocusThumbnailColumn();
// The column's scroll position into the placement, where the next build restores it from.
void RememberScrollPosition();

// Menu 73: one entry "ScreenShot:" opening the submenu of items 0 to 3.
HMENU ShotMenu();

// Controls 74 to 74 + 3 x (entry count) are the thumbnails' events.
bool IsThumbnailControl(int control);
// False for an event stamped for a column that has been rebuilt since: its control
// number may now show another file.
bool ThumbnailEventCurrent(int control, std::uint32_t stamp);
// The thumbnail events go to one handler, installed by the viewer actions, with the open
// viewer's catalogue; without it a thumbnail event only gives the column the focus. The
// scroll position is remembered first in either case.
using ThumbnailHandler = void (*)(ShotCatalogue& catalogue, int control, int type);
void SetThumbnailHandler(ThumbnailHandler handler);
void OnThumbnailEvent(int control, int type);

}  // namespace snapdeck::win32
