// The radial-gradient discs behind the program's round dialogs.
#pragma once

#include "imaging/picture.h"

namespace snapdeck {

// A size x size picture: a flat disc in the centre colour whose edge shades through
// the ring colour to the rim colour. Corners outside the disc stay black.
Picture MakeDiscPicture(int size, Rgb rim, Rgb ring, Rgb centre);

// The same disc with a white plate, rimmed in grey, behind the requester's icon.
Picture MakeRequesterDiscPicture(int size, Rgb rim, Rgb ring, Rgb centre);

}  // namespace snapdeck
