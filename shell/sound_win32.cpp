#include "shell/sound_win32.h"

#include <windows.h>
// This needs windows.h first.
#include <mmsystem.h>

#include "platform/win32/system_libraries_win32.h"
#include "shell/resources_win32.h"
#include "shell/shell_win32.h"
#include "resources/resource_ids.h"

namespace snapdeck::win32 {

bool InitSoundSystem() { return WaveOutDeviceCount() > 0; }

void LoadSounds(int first, int last) {
  Shell& shell = TheShell();
  for (int n = first; n <= last; ++n) {
    std::vector<std::uint8_t> wave = LoadEmbeddedBytes(SNAPDECK_RC_SOUND_BASE + n);
    if (!wave.empty()) shell.sounds[n] = std::move(wave);
  }
}

}  // namespace snapdeck::win32
