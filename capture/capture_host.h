// What the capture job needs from the main window. The Win32 shell implements it
// over window 5; tests script it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "imaging/picture.h"

namespace snapdeck {

class CaptureHost {
 public:
  virtual ~CaptureHost() = default;
  // Puts picture 23 into control 50.
  virtual void showStatusPicture(const Picture& status) = 0;
  // Resizes the main window's inner area, keeping its position.
  virtual void resizeMainWindow(int innerWidth, int innerHeight) = 0;
  virtual void setWaitCursor(bool wait) = 0;
  // Redraws the progress picture at value percent (-1 = last position); it
  // processes one pending window event.
  virtual void drawProgress(double value) = 0;
  virtual void pumpOneEvent() = 0;
  virtual void pumpAllEvents() = 0;
  // Runs work to its end while the window keeps answering: a host may run it on a
  // thread of its own and draw the progress work reports meanwhile. Here, in place.
  virtual void runBeside(const std::function<void()>& work) { work(); }
  virtual void clearClipboard() = 0;
  virtual bool putOnClipboard(const Picture& p) = 0;
  // The same with the picture's PNG encoding already made (the saved file's bytes), so a
  // shot is not encoded twice.
  virtual bool putOnClipboardWithPng(const Picture& p, const std::vector<std::uint8_t>& png) {
    static_cast<void>(png);
    return putOnClipboard(p);
  }
  // Plays an embedded sound under the program's playing rules (0-3 whenever a sound
  // device exists, 4-7 only with the sound switch on too).
  virtual void playSound(int number) = 0;
  // Check box 48 "include PIN".
  virtual void setIncludePinBox(bool enabled, bool checked) = 0;
  // The requester (kinds 16, 17, 20, 21); answers 20, 21 or 0.
  virtual int ask(int kind, const std::u16string& message, const std::u16string& firstButton,
                  const std::u16string& secondButton) = 0;
  // Text of the password field when the last requester ended with 20.
  virtual std::u16string passwordResult() = 0;
};

}  // namespace snapdeck
