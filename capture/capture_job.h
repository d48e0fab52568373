// The screenshot capture job: one shot of every connected device, scaled, framed, saved,
// put on the clipboard and reported in the status picture.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "capture/capture_context.h"

namespace snapdeck {

// Largest temporary bitmap the job reads.
inline constexpr std::size_t kMaxTempBitmapBytes = std::size_t{512} * 1024 * 1024;
// Output a screenshot run may write before it counts as running wild.
inline constexpr std::size_t kMaxShotOutputBytes = std::size_t{16} * 1024 * 1024;

// A phone (or one of its displays) that failed or came out wrong, and why.
struct PhoneProblem {
  std::u16string phone;  // model and serial
  std::u16string reason;
};

// What a job achieved beyond what its status picture shows.
struct CaptureResult {
  int finished = 0;               // devices whose picture was read, framed and copied
  int saved = 0;                  // files written
  bool clipboardFailed = false;   // a finished picture could not be put on the clipboard
  bool questionNotShown = false;  // a question had to be given up: it could not be shown
  std::vector<PhoneProblem> phoneProblems;
  // The shots side by side were beyond the picture limit: their full size, and the size
  // the clipboard and the preview hold them at. Zero when they fitted.
  long long composedWidth = 0, composedHeight = 0;
  int shrunkWidth = 0, shrunkHeight = 0;
};

CaptureResult CaptureJob(CaptureContext& ctx);

// What the user is told after the shot beyond its status picture: one line for each
// phone that failed or came out black, one for pictures scaled to fit. Empty when all
// went well.
std::u16string ShotReport(const CaptureResult& result);

// How long a phone transfer may go without a byte: the kill timeout, but never so short
// that no phone can answer.
int PhoneIdleMs(const AppSettings& settings);

// Removes the temporary bitmap tempDir + "~devshot.bmp"; true when none remains.
bool TempCleanup(FileSystem& files, Clock& clock, CaptureHost& host, const std::u16string& tempDir);

// File name (without folder) of device slot i's shot under the current settings.
std::u16string ShotFileName(const AppSettings& settings, const CaptureSession& session, int i);

}  // namespace snapdeck
