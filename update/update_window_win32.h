// The round update window (window 0): check, download and restart.
#pragma once

#include "update/update_service.h"

namespace snapdeck::win32 {

// The service's record, filled by the main window before the window opens.
UpdateInfo& TheUpdateInfo();

// Opens the update window over the window of parentWindow and runs it until it
// closes. Non-zero when the restart was started; the caller then ends the
// program.
int RunUpdateWindow();

// The progress callback of the update's fetches: draws picture 2 into
// control 5.
void DrawUpdateProgress(int maximum, int value);

// The update switches at start-up; false when the program must end at once.
bool HandleUpdateSwitches();

}  // namespace snapdeck::win32
