// What the viewer shows, and where it was. The sort key and direction are settings
// (sortview, sortdir) and stay there.
#pragma once

#include <string>

namespace snapdeck {

// The open viewer's folder and the files it takes from it; each window has its own.
struct ViewerState {
  std::u16string title = u"SnapdeckViewer";
  std::u16string folder;  // ends with "\"
  std::u16string extensions = u"jpg|bmp|png";
};

// The viewer window's place and its column's scroll position, remembered for the run:
// the viewer's owner keeps it while the window is closed, so that a reopened viewer
// comes back where it was.
struct ViewerPlacement {
  int width = 380;  // inner size; the height starts as the work area's
  int height = 0;
  int x = 0;  // the work area's left edge at start
  int y = 0;
  int scrollPosition = 0;  // of the thumbnail column, restored after a rebuild
};

}  // namespace snapdeck
