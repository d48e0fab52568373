// The screenshot capture job: one shot of every connected device, scaled, framed, saved,
// put on the clipboard and reported in the status picture.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "capture/capture_context.h"
#include "imaging/picture.h"

namespace snapdeck {

// Largest temporary bitmap the job reads.
inline constexpr std::size_t kMaxTempBitmapBytes = std::size_t{512} * 1024 * 1024;
// Output a screenshot run may write before it counts as running wild.
inline constexpr std::size_t kMaxShotOutputBytes = std::size_t{16} * 1024 * 1024;

// Screens one shot takes: the handhelds, then the phones' displays.
inline constexpr int kMaxShotDevices = 16;
// Phone pictures in flight at once (as read, framed, encoded) stay within this, except a
// phone alone.
inline constexpr std::uint64_t kPhonePicturesBudget = std::uint64_t{256} * 1024 * 1024;

// One device of a shot (a handheld, or one display of a phone) and what became of it.
struct DeviceShot {
  bool phone = false;
  int slot = 0;             // a handheld's slot, under which its password lives; 0 for a phone
  std::u16string name;      // PIN, or serial with its marks: what the file name carries
  std::u16string fileName;  // the file written (without folder), or empty
  Picture shot;             // framed at the shot's scale; empty when it failed
  Picture preview;          // its status picture: the shot captioned, or its failure
};

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
  std::vector<DeviceShot> devices;  // in the order they are composed
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

// File name (without folder) of a device's shot: its name in front when the shot takes
// several devices or the user asks for it.
std::u16string ShotFileName(const AppSettings& settings, const std::u16string& name, bool phone,
                            bool severalDevices);

}  // namespace snapdeck
