// The viewer's thumbnail column: a scroll area (control 61) holding the column window,
// which has an image and a caption control per catalogue entry. The pictures are made on
// the worker threads of the column's own loader and shown as they arrive.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "dialogs/requester_layout.h"
#include "platform/folder_listing.h"
#include "platform/win32/handles_win32.h"
#include "shell/ui_thread_win32.h"
#include "viewer/shot_catalogue.h"
#include "viewer/thumbnail_column.h"
#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"

namespace snapdeck::win32 {

class ThumbnailColumn {
 public:
  // The catalogue and the reader outlive the column. relaidOut runs when arriving
  // pictures have laid the column out again (its hidden rows may have changed).
  ThumbnailColumn(ShotCatalogue& catalogue, FolderReader& reader, std::function<void()> relaidOut);
  ThumbnailColumn(const ThumbnailColumn&) = delete;
  ThumbnailColumn& operator=(const ThumbnailColumn&) = delete;
  // Ends the loader's threads, once the decodes they are in the middle of are done.
  ~ThumbnailColumn();

  // Makes the scroll area as control `number` of `window` at `box`, and the column inside
  // it. Clicks go to `window` as control events stamped with the column's catalogue.
  void create(HWND window, const Box& box, int number);
  // Before the windows go: the loader stops posting and the pictures shown are freed.
  void close();

  HWND scrollArea() const { return scroll_; }
  HWND columnWindow() const { return column_; }  // the inner window, which scrolls
  void setWidth(int width) { width_ = width; }  // W of the thumbnail rule
  // Rows for the catalogue as it is now, scrolled to `position` as far as it goes.
  void build(int position);
  // Removes every row's controls and forgets the pictures; the loader's work is dropped.
  void clear();
  // Removes a thumbnail's image control (a deleted file), leaving its row in place.
  void removeImage(int control);

  int scrollPosition() const { return scrollPos_; }
  int hiddenCount() const { return layout_.hiddenCount; }
  std::uint32_t generation() const { return generation_; }

 private:
  // One row of the column on screen: its controls, and whether its picture was asked for.
  struct RowWindows {
    HWND image = nullptr;
    HWND caption = nullptr;
    bool requested = false;
  };

  int width() const;
  ThumbnailLoader& loader();
  void scroll(ScrollRequest request);
  void setCaption(int index);
  void setImage(int index);
  void applyLayout();
  void takeThumbnails();
  HBRUSH captionBrush(Rgb color);
  LRESULT colors(HDC dc, HWND control);
  void postControlEvent(int control, int type) const;
  LRESULT columnMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT scrollAreaMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  template <LRESULT (ThumbnailColumn::*Handle)(HWND, UINT, WPARAM, LPARAM)>
  static LRESULT CALLBACK WithColumn(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  ShotCatalogue& catalogue_;
  FolderReader& reader_;
  std::function<void()> relaidOut_;
  // Before the loader, whose threads post to it: it outlives them.
  WindowCalls calls_;  // the loader's "thumbnails ready", run by the scroll area
  std::unique_ptr<ThumbnailLoader> loader_;  // made with the first row that needs a picture
  HWND owner_ = nullptr;
  int number_ = 0;  // of the scroll area
  HWND scroll_ = nullptr;
  HWND column_ = nullptr;
  int width_ = 340;
  int columnHeight_ = 0;
  int scrollPos_ = 0;
  std::uint32_t generation_ = 0;  // of the catalogue the column was built for
  std::vector<RowPicture> pictures_;  // per catalogue entry: from the header, then the decode
  ColumnLayout layout_;
  std::vector<RowWindows> rows_;
  UniqueGdi<HBRUSH> captionBrushes_[3];
  UniqueGdi<HBRUSH> placeholderBrush_;
};

}  // namespace snapdeck::win32
