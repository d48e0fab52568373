#include "viewer/viewer_layout.h"

#include <algorithm>

#include "resources/ids.h"

namespace snapdeck {

const Box* ViewerLayout::find(int id) const {
  for (const ControlPlace& place : controls) {
    if (place.id == id) return &place.box;
  }
  return nullptr;
}

ViewerLayout ViewerLayoutFor(int W, int H, const ScreenMetrics& m) {
  auto width = [](int w) { return std::max(0, w); };
  const int row = H - 80;  // the sort row
  // The labels sit 2 pixels lower than their option buttons, "Sort by:" by the frame.
  const int label = row + 2;
  const int half = width((W - 260) / 2);
  ViewerLayout layout;
  layout.controls = {{
      {id::kViewerScroll, {10, 10, width(W - 20), width(H - 100)}},
      {id::kViewerSortLabel, {12, row + m.dialogFrameHeight, 40, 20}},
      {id::kViewerSortName, {55, row, 16, 20}},
      {id::kViewerNameLabel, {71, label, 40, 20}},
      {id::kViewerSortNumber, {110, row, 16, 20}},
      {id::kViewerNumberLabel, {126, label, 45, 20}},
      {id::kViewerSortTime, {170, row, 16, 20}},
      {id::kViewerTimeLabel, {186, label, 50, 20}},
      {id::kViewerSortDir, {240, row, half, 20}},
      {id::kViewerRefresh, {(W - 320) / 2 + 280, row, half, 20}},
      {id::kViewerClose, {10, H - 50, width(W - 20), 20}},
  }};
  layout.columnWidth = width(W - m.frameWidth2 - m.scrollSize - 20);
  return layout;
}

OuterSize ViewerMinimumSize(const ScreenMetrics& m) {
  return {m.frameWidth2 + m.scrollSize + 290, m.frameHeight2Caption + 390};
}

}  // namespace snapdeck
