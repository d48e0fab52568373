#include "viewer/thumbnail_column.h"

#include <algorithm>

namespace snapdeck {

int ScrolledPosition(int position, ScrollRequest request, int columnHeight, int viewHeight) {
  const int most = std::max(0, columnHeight - viewHeight);
  const int page = std::max(kScrollStep, viewHeight);
  switch (request.move) {
    case ScrollMove::Stay:
      break;
    case ScrollMove::LineUp:
      position -= kScrollStep;
      break;
    case ScrollMove::LineDown:
      position += kScrollStep;
      break;
    case ScrollMove::PageUp:
      position -= page;
      break;
    case ScrollMove::PageDown:
      position += page;
      break;
    case ScrollMove::Top:
      position = 0;
      break;
    case ScrollMove::Bottom:
      position = most;
      break;
    case ScrollMove::To:
      position = request.amount;
      break;
    case ScrollMove::Wheel:
      position -= request.amount * kWheelSteps * kScrollStep;
      break;
  }
  return std::clamp(position, 0, most);
}

TakenThumbnails TakeThumbnails(std::vector<RowPicture>& pictures,
                               const std::vector<ThumbnailResult>& results) {
  TakenThumbnails taken;
  for (std::size_t i = 0; i < results.size(); ++i) {
    const ThumbnailResult& result = results[i];
    if (result.index < 0 || static_cast<std::size_t>(result.index) >= pictures.size()) continue;
    RowPicture& picture = pictures[static_cast<std::size_t>(result.index)];
    if (result.probed) {
      picture = RowPicture{result.ok, result.width, result.height, false, result.cost};
      taken.reasked.push_back(result.index);
      taken.relayout = true;
      continue;
    }
    const RowPicture now{result.ok, result.ok ? result.width : 0, result.ok ? result.height : 0,
                         false, picture.cost};
    if (now.loaded != picture.loaded || now.width != picture.width ||
        now.height != picture.height) {
      picture = now;
      taken.relayout = true;
    }
    if (result.ok) taken.shown.push_back(i);
  }
  return taken;
}

}  // namespace snapdeck
