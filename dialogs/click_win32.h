// The simulated mouse click through which keyboard shortcuts press buttons.
#pragma once

namespace snapdeck::win32 {

// When the control with that number (in any open program window) exists and is
// enabled, sends it a left-button press and release inside it, so that it reacts as
// to a mouse click and reports its own control event. Otherwise nothing happens.
void ClickControl(int control);

}  // namespace snapdeck::win32
