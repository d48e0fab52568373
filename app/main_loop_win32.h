// The main event loop: every event of the main window, its shortcuts and menus,
// dispatched by number until the program is to end.
#pragma once

namespace snapdeck::win32 {

// Returns when the quit flag is set (or the message queue ended).
void RunMainLoop();

// Control 55 and Enter.
void TakeScreenshot();
// The capture itself, shared with the hotkey: reads, cleans and numbers the stem in
// control 37, stores it and runs the capture job. Activates no window.
void CaptureWithFieldStem();

}  // namespace snapdeck::win32
