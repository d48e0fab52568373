// The viewer's record: what the window shows and where, alive for the whole run, also
// while the window is closed. Geometry is remembered for the run only; the sort key and
// direction are settings (sortview, sortdir) and stay there.
#pragma once

#include <string>

namespace snapdeck {

struct ViewerState {
  std::u16string title = u"SnapdeckViewer";
  std::u16string folder;  // ends with "\"
  std::u16string extensions = u"jpg|bmp|png";
  int width = 380;  // inner size; the height starts as the work area's
  int height = 0;
  int x = 0;  // the work area's left edge at start
  int y = 0;
  int scrollPosition = 0;  // of the thumbnail column, restored after a rebuild
  int innerWidth = 340;    // of the scroll area (W of the thumbnail rule)
};

}  // namespace snapdeck
