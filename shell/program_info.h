// Process-wide facts gathered once at start-up.
#pragma once

#include <string>

namespace snapdeck {

struct ProgramInfo {
  std::u16string programFile;  // file part of the executable's path
  std::u16string programDir;   // ends with a backslash
  std::u16string tempDir;      // ends with a backslash
  bool soundAvailable = false;
  bool mainRunning = false;
};

struct ScreenMetrics {
  int frameWidth2 = 8;          // SM_CXFRAME * 2
  int frameHeight2Caption = 27; // SM_CYFRAME * 2 + SM_CYCAPTION
  int scrollSize = 17;          // SM_CYHSCROLL
  int dialogFrameHeight = 3;    // SM_CYDLGFRAME
  int workLeft = 0, workTop = 0, workRight = 1024, workBottom = 768;
};

}  // namespace snapdeck
