// The event loop's sequences around the viewer: opening and closing it with "toggle
// viewer", refreshing, sorting, following the main window's folder and captures.
#pragma once

namespace snapdeck::win32 {

// Handles the controls of the viewer (60 to 72 and the thumbnails from 74); false for any
// other control.
bool OnViewerControl(int control, int type);

// The end of a window move or resize: a changed viewer width lays the column out again.
void ViewerMoveSizeEnd();

// The main window's folder changed (or its chooser closed): the open viewer re-opens on
// the current folder.
void ViewerFolderChanged();

// After a capture: the open viewer shows the new files, the main window stays active.
void ViewerAfterCapture();

}  // namespace snapdeck::win32
