// The sound system: whether a wave-out device exists, and the embedded sounds.
#pragma once

namespace snapdeck::win32 {

// True when the machine has a device to play sounds on.
bool InitSoundSystem();
// Loads the embedded sounds first..last into the shell by number (only worth doing
// when the sound system is available).
void LoadSounds(int first, int last);

}  // namespace snapdeck::win32
