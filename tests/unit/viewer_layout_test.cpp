// The viewer's controls for every window size the user can give it, at the system's
// usual metrics and at larger ones (a scaled desktop).
#include <gtest/gtest.h>

#include <utility>

#include "resources/ids.h"
#include "viewer/viewer_layout.h"

namespace snapdeck {
namespace {

constexpr int kStatusBarRoom = 25;  // the status bar along the lower edge

int Right(const Box& b) { return b.x + b.width; }
int Bottom(const Box& b) { return b.y + b.height; }

TEST(ViewerLayout, ControlsStayInsideAndTheListTakesWhatIsLeft) {
  ScreenMetrics scaled;
  scaled.frameWidth2 = 16;
  scaled.frameHeight2Caption = 50;
  scaled.scrollSize = 30;
  scaled.dialogFrameHeight = 6;
  for (const ScreenMetrics& m : {ScreenMetrics{}, scaled}) {
    const OuterSize smallest = ViewerMinimumSize(m);
    const int minW = smallest.width - m.frameWidth2;
    const int minH = smallest.height - m.frameHeight2Caption;
    const std::pair<int, int> sizes[] = {
        {minW, minH}, {minW + 1, minH + 1}, {800, 600}, {1920, 1200}};
    for (const auto& [W, H] : sizes) {
      SCOPED_TRACE(testing::Message() << W << " x " << H << ", scroll bar " << m.scrollSize);
      const ViewerLayout l = ViewerLayoutFor(W, H, m);
      for (const ControlPlace& p : l.controls) {
        EXPECT_GE(p.box.x, 0) << p.id;
        EXPECT_GE(p.box.y, 0) << p.id;
        EXPECT_GT(p.box.width, 0) << p.id;
        EXPECT_LE(Right(p.box), W) << p.id;
        EXPECT_LE(Bottom(p.box), H - kStatusBarRoom) << p.id;
      }
      // Three bands from the top: the list, the sort row, the close button.
      const Box& list = *l.find(id::kViewerScroll);
      const Box& close = *l.find(id::kViewerClose);
      for (int row : {id::kViewerSortLabel, id::kViewerSortName, id::kViewerNameLabel,
                      id::kViewerSortNumber, id::kViewerNumberLabel, id::kViewerSortTime,
                      id::kViewerTimeLabel, id::kViewerSortDir, id::kViewerRefresh}) {
        EXPECT_LE(Bottom(list), l.find(row)->y) << row;
        EXPECT_LE(Bottom(*l.find(row)), close.y) << row;
      }
      // The two buttons of the sort row share its free width without covering each other.
      const Box& direction = *l.find(id::kViewerSortDir);
      const Box& refresh = *l.find(id::kViewerRefresh);
      EXPECT_LE(Right(*l.find(id::kViewerTimeLabel)), direction.x);
      EXPECT_LE(Right(direction), refresh.x);
      // The thumbnails fit beside the list's scroll bar.
      EXPECT_GT(l.columnWidth, 0);
      EXPECT_LE(l.columnWidth + m.scrollSize, list.width);

      // A larger window gives all its growth to the list; the rows below follow the edge.
      const ViewerLayout grown = ViewerLayoutFor(W + 100, H + 60, m);
      const Box& grownList = *grown.find(id::kViewerScroll);
      EXPECT_EQ(grownList.x, list.x);
      EXPECT_EQ(grownList.y, list.y);
      EXPECT_EQ(grownList.width, list.width + 100);
      EXPECT_EQ(grownList.height, list.height + 60);
      EXPECT_EQ(W - Right(list), list.x) << "the same margin on both sides";
      EXPECT_EQ(grown.find(id::kViewerClose)->y, close.y + 60);
      EXPECT_EQ(grown.find(id::kViewerSortName)->y, l.find(id::kViewerSortName)->y + 60);
      EXPECT_EQ(grown.columnWidth, l.columnWidth + 100);
    }
  }
}

}  // namespace
}  // namespace snapdeck
