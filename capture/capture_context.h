// What the capture job and the device detection work on.
#pragma once

#include <array>
#include <string>

#include "capture/capture_host.h"
#include "capture/phone_link.h"
#include "imaging/picture.h"
#include "imaging/text_port.h"
#include "platform/ports.h"
#include "platform/worker_pool.h"
#include "settings/app_settings.h"

namespace snapdeck {

// Handhelds the loader serves in one shot.
inline constexpr int kMaxDevices = 4;

// The handhelds of this program run. Slot 0 is never used; passwords live in
// AppSettings::passwords under the same slot numbers. Phones take no slot: they are
// listed anew for every shot.
struct CaptureSession {
  int count = 0;
  int handhelds = 0;  // count, once detection and passwords succeeded
  std::array<std::u16string, kMaxDevices + 1> PIN{};
  std::array<bool, kMaxDevices + 1> deviceAnswered{};
  // The device's record cannot be passed to the tool as it is (a control byte would cut
  // the command line short): the device is listed, but its shot fails without a run.
  std::array<bool, kMaxDevices + 1> recordRefused{};
  // Detection and passwords succeeded; later jobs reuse the device list until a shot fails.
  bool deviceSessionReady = false;
  // Size of the last picture read from a device; sizes the failure pictures.
  int capWidth = 0;
  int capHeight = 0;
};

struct CaptureContext {
  AppSettings& settings;
  CaptureSession& session;
  PictureStore& pictures;
  TextPort& text;
  Clock& clock;
  FileSystem& files;
  ToolRunner& runner;
  CaptureHost& host;
  std::u16string tempDir;                 // ends with a separator
  const Picture* passwordMark = nullptr;  // picture 32
  // Set when a question of this job could not be shown, so its "no" was not the user's.
  bool questionNotShown = false;
  // The adb server's phones; null leaves the handhelds alone.
  PhoneLink* phones = nullptr;
  // The largest preview the main window can show within the screen; a composed preview
  // beyond it is shown shrunk. 0 sets no bound.
  int maxPreviewWidth = 0;
  int maxPreviewHeight = 0;
  // The threads the phones' pictures are framed and encoded on, while every phone's
  // transfer runs on a thread of its own. Null: the phones one after another, in place.
  WorkerPool* workers = nullptr;
};

}  // namespace snapdeck
