#include "viewer/thumbnail_layout.h"

#include <cmath>

#include "platform/text.h"

namespace snapdeck {

int EntryOfEvent(const ShotCatalogue& catalogue, int control, std::uint32_t generation) {
  const int index = EntryOfControl(control);
  if (generation != catalogue.generation || control < kFirstThumbnailControl ||
      index >= catalogue.count()) {
    return -1;
  }
  return index;
}

ThumbnailSize ThumbnailSizeFor(int w, int h, int W) {
  if (w <= W) return {w, h, false};
  // The height follows 320 even though the width gets the extra w mod 10.
  const long long height = std::llround(static_cast<double>(h) * 320.0 / static_cast<double>(w));
  return {320 + w % 10, static_cast<int>(height < 1 ? 1 : height), true};
}

ColumnLayout LayOutColumn(const std::vector<RowPicture>& pictures, int W) {
  ColumnLayout layout;
  layout.rows.reserve(pictures.size());
  int y = 0;
  for (const RowPicture& picture : pictures) {
    ColumnRow row;
    row.loaded = picture.loaded;
    row.pending = !picture.loaded && picture.pending;
    if (!picture.loaded) {
      layout.innerHeight = y + 30;
      row.captionY = y;
      y += 30;
    } else {
      row.width = picture.width;
      row.height = picture.height;
      row.thumb = ThumbnailSizeFor(picture.width, picture.height, W);
      row.imageX = (W - row.thumb.width) / 2;  // truncates toward zero, like div
      row.imageY = y;
      layout.innerHeight = y + row.thumb.height + 35;
      y += row.thumb.height + 5;
      row.captionY = y;
      y += 30;
    }
    if (y >= kColumnLimit) {
      row.hidden = true;
      ++layout.hiddenCount;
    }
    layout.rows.push_back(row);
  }
  return layout;
}

int VisibleColumnHeight(const ColumnLayout& layout) {
  int height = 0;
  for (const ColumnRow& row : layout.rows) {
    if (row.hidden) break;
    height = row.loaded ? row.imageY + row.thumb.height + 35 : row.captionY + 30;
  }
  return layout.hiddenCount == 0 ? layout.innerHeight : height;
}

std::u16string CaptionText(const ShotEntry& entry, const ColumnRow& row) {
  if (row.pending) return entry.fileName();
  if (!row.loaded) return entry.fileName() + u"   load failed!";
  return entry.fileName() + u"   (" + DecimalText(row.width) + u"x" + DecimalText(row.height) +
         u")   " + DateTag(entry.date) + u"   " + (row.thumb.resized ? u"resized!" : u"");
}

Rgb CaptionColor(const ColumnRow& row) {
  if (!row.loaded) return row.pending ? kCaptionColor : kFailedCaptionColor;
  return row.thumb.resized ? kResizedCaptionColor : kCaptionColor;
}

}  // namespace snapdeck
