// The thumbnail column's rules that need no window: how far a key, the scroll bar or the
// wheel moves it, and what the pictures arriving from the loader change in its rows.
#pragma once

#include <cstddef>
#include <vector>

#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"

namespace snapdeck {

inline constexpr int kScrollStep = 40;  // a line; a wheel notch is three
inline constexpr int kWheelSteps = 3;

enum class ScrollMove { Stay, LineUp, LineDown, PageUp, PageDown, Top, Bottom, To, Wheel };

struct ScrollRequest {
  ScrollMove move = ScrollMove::Stay;
  int amount = 0;  // To: the position; Wheel: notches, positive away from the user
};

// The column's position after the request, for a column `columnHeight` high seen through
// a view `viewHeight` high: always within 0 and the height the view cannot show. A page
// is the view's height, but never less than a line.
int ScrolledPosition(int position, ScrollRequest request, int columnHeight, int viewHeight);

// What a batch of loader results changed. Results for rows the column does not have (a
// rebuild since) are dropped.
struct TakenThumbnails {
  bool relayout = false;      // a size became known or changed, or a picture failed
  std::vector<int> reasked;   // rows whose probe answered: their picture is still to ask for
  std::vector<std::size_t> shown;  // results (by position) whose thumbnail goes on screen
};

// Merges the results into the rows' pictures: a probe gives the row its size (or fails
// it); a decode fails its row, or re-sizes it when the file changed since its header was
// read, and otherwise leaves the layout alone.
TakenThumbnails TakeThumbnails(std::vector<RowPicture>& pictures,
                               const std::vector<ThumbnailResult>& results);

}  // namespace snapdeck
