// Where the viewer window puts its controls for its size, and how small it may be made.
// Plain arithmetic on sizes and the system's metrics, shared by the window and the tests.
#pragma once

#include <array>

#include "shell/box.h"
#include "shell/program_info.h"

namespace snapdeck {

struct ViewerLayout {
  // The scroll area of the thumbnail column, the sort row and the close button; the
  // status bar places itself along the lower edge.
  std::array<ControlPlace, 11> controls{};
  int columnWidth = 0;  // of the thumbnails, inside the scroll area beside its scroll bar

  // The place of a control; nullptr for one that is not laid out here.
  const Box* find(int id) const;
};

// The places for the window's inner size W x H: the sort row and the close button
// follow the lower edge, the scroll area takes the rest. Widths never go below 0.
ViewerLayout ViewerLayoutFor(int innerWidth, int innerHeight, const ScreenMetrics& metrics);

struct OuterSize {
  int width = 0;
  int height = 0;
};

// The smallest outer size the user may give the window.
OuterSize ViewerMinimumSize(const ScreenMetrics& metrics);

}  // namespace snapdeck
