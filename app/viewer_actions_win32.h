// The viewer's thumbnail clicks and its pop-up menu, carried out on window 6.
#pragma once

namespace snapdeck::win32 {

// Hands the viewer's thumbnail events to the actions.
void InstallViewerActions();

// True for the ShotMenu items 0 (copy) to 3 (delete).
bool IsShotMenuItem(int number);
// A ShotMenu choice for the file whose thumbnail was right-clicked.
void OnShotMenuItem(int item);

}  // namespace snapdeck::win32
