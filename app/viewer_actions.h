// What the viewer does with one screenshot file: copy it to the clipboard, remove or
// add its frame, delete it, and the rules behind those actions.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "imaging/picture.h"
#include "platform/ports.h"
#include "settings/app_settings.h"

namespace snapdeck {

// The device screen widths; a picture of such a width has no frame. Widths below 80
// and from 1024 on are their own standard width.
int StandardWidth(int width);

// The format index (ShotFormat) of an extension, compared exactly; 0 when none matches.
int FormatIndexOf(std::u16string_view extension);

enum class ShotAction { Copy, RemoveFrame, AddFrame, Delete };
enum class HeldKey { Delete, Ctrl, Shift };

// The action of a double-click on a thumbnail. The keys are asked in the order
// Delete, Ctrl, Shift, and no further once one is held.
ShotAction DoubleClickAction(const std::function<bool(HeldKey)>& keyHeld);

// The part of a framed picture inside its frame: t = (width - standard width) div 2
// on every side, the standard width across.
struct FrameCrop {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
// False when the picture is not taller than the two frame bands, so that nothing
// would be left of it.
bool FrameCropOf(int width, int height, FrameCrop& crop);

// The file behind a thumbnail, taken when it was clicked, so that a later rescan
// cannot turn the action onto another file.
struct ShotFile {
  std::u16string path;       // folder + stem + ext
  std::u16string extension;  // "." + extension, as in the file name
  int control = 0;           // the thumbnail's image control
};

// The largest screenshot file an action reads.
inline constexpr std::size_t kMaxShotFileBytes = std::size_t{256} * 1024 * 1024;

// Status-bar texts of the actions.
inline constexpr std::u16string_view kLoadFailed = u"load failed!";
inline constexpr std::u16string_view kSaveFailed = u"save failed!";
inline constexpr std::u16string_view kDeleteFailed = u"delete failed!";
inline constexpr std::u16string_view kCopyFailed = u"copy failed!";
inline constexpr std::u16string_view kAlreadyFramed = u"this picture already has a frame!";

// What the actions need from the viewer window and the rest of the program.
class ViewerActionHost {
 public:
  virtual ~ViewerActionHost() = default;
  // Plays an embedded sound under the program's playing rules.
  virtual void playSound(int number) = 0;
  virtual bool putOnClipboard(const Picture& picture) = 0;
  // Field 0 of the viewer's status bar.
  virtual void setStatus(std::u16string_view text) = 0;
  // The warning bubble "this picture already has a frame" over the viewer.
  virtual void warnAlreadyFramed() = 0;
  virtual void removeThumbnail(int control) = 0;
  // Rescans the folder and rebuilds the thumbnails, keeping the scroll position.
  virtual void refresh() = 0;
};

struct ViewerActionContext {
  const AppSettings& settings;
  PictureStore& pictures;  // picture 24 holds the last picture an action loaded
  FileSystem& files;
  ViewerActionHost& host;
};

// withBubble: the add-frame action came from the pop-up menu, which also warns in a
// bubble when the picture already has a frame.
void RunShotAction(ViewerActionContext& ctx, ShotAction action, const ShotFile& shot,
                   bool withBubble);

}  // namespace snapdeck
