// The frame that the settings ask for, as the drawing code takes it.
#pragma once

#include "imaging/frame.h"
#include "settings/app_settings.h"

namespace snapdeck {

// Values out of range (a record that did not come through loading) are brought into it.
FrameStyle FrameStyleOf(const AppSettings& s);

}  // namespace snapdeck
