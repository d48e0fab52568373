// The screenshot capture job: one shot of every connected device, scaled, framed, saved,
// put on the clipboard and reported in the status picture.
#pragma once

#include <cstddef>
#include <string>

#include "capture/capture_context.h"

namespace snapdeck {

// Largest temporary bitmap the job reads.
inline constexpr std::size_t kMaxTempBitmapBytes = std::size_t{512} * 1024 * 1024;
// Output a screenshot run may write before it counts as running wild.
inline constexpr std::size_t kMaxShotOutputBytes = std::size_t{16} * 1024 * 1024;

// What a job achieved beyond what its status picture shows.
struct CaptureResult {
  int finished = 0;               // devices whose picture was read, framed and copied
  int saved = 0;                  // files written
  bool clipboardFailed = false;   // a finished picture could not be put on the clipboard
  bool questionNotShown = false;  // a question had to be given up: it could not be shown
};

CaptureResult CaptureJob(CaptureContext& ctx);

// Removes the temporary bitmap tempDir + "~devshot.bmp"; true when none remains.
bool TempCleanup(FileSystem& files, Clock& clock, CaptureHost& host, const std::u16string& tempDir);

// File name (without folder) of device slot i's shot under the current settings.
std::u16string ShotFileName(const AppSettings& settings, const CaptureSession& session, int i);

}  // namespace snapdeck
