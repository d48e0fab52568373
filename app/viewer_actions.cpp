#include "app/viewer_actions.h"

#include <vector>

#include "app/main_dispatch.h"
#include "imaging/codec.h"
#include "imaging/draw.h"
#include "imaging/frame.h"
#include "resources/ids.h"
#include "shell/tables.h"

namespace snapdeck {
namespace {

// Files whose extension differs from a format's only in letter case are written in
// that format, never as a bitmap under a ".PNG" or ".JPG" name.
int WriterIndexOf(std::u16string_view extension) {
  std::u16string lower(extension);
  for (char16_t& c : lower) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return FormatIndexOf(lower);
}

void PlayIfSoundOn(ViewerActionContext& ctx, int number) {
  if (ctx.settings.sound != 0) ctx.host.playSound(number);
}

// Reads and decodes the file as picture 24; nullptr (and picture 24 released) when
// it is gone, unreadable or not a picture.
Picture* LoadShot(ViewerActionContext& ctx, const ShotFile& shot) {
  ctx.pictures.release(id::kPicWork);
  std::vector<std::uint8_t> bytes;
  if (!ctx.files.readFile(shot.path, bytes, kMaxShotFileBytes)) return nullptr;
  DecodeResult decoded = DecodeImage(bytes.data(), bytes.size());
  if (!decoded.ok || decoded.picture.empty()) return nullptr;
  return &ctx.pictures.put(id::kPicWork, std::move(decoded.picture));
}

// Replaces the file through a temporary file beside it, so a failed save leaves the
// old file as it was.
bool SaveShot(ViewerActionContext& ctx, const Picture& picture, const ShotFile& shot) {
  const std::vector<std::uint8_t> bytes = EncodeForFormat(picture, WriterIndexOf(shot.extension));
  return !bytes.empty() && ctx.files.replaceFile(shot.path, bytes);
}

void FinishSave(ViewerActionContext& ctx, const Picture& picture, const ShotFile& shot) {
  if (!SaveShot(ctx, picture, shot)) {
    ctx.host.setStatus(kSaveFailed);
    return;
  }
  ctx.host.refresh();
}

void Copy(ViewerActionContext& ctx, const ShotFile& shot) {
  const Picture* picture = LoadShot(ctx, shot);
  if (picture == nullptr) {
    ctx.host.setStatus(kLoadFailed);
    return;
  }
  PlayIfSoundOn(ctx, id::kSoundCopied);
  if (!ctx.host.putOnClipboard(*picture)) ctx.host.setStatus(kCopyFailed);
}

void RemoveFrame(ViewerActionContext& ctx, const ShotFile& shot) {
  Picture* picture = LoadShot(ctx, shot);
  if (picture == nullptr) {
    ctx.host.setStatus(kLoadFailed);
    return;
  }
  FrameCrop crop;
  if (!FrameCropOf(picture->width, picture->height, crop)) {
    ctx.host.setStatus(kSaveFailed);
    return;
  }
  *picture = CopyRegion(*picture, crop.x, crop.y, crop.width, crop.height);
  FinishSave(ctx, *picture, shot);
}

void AddFrame(ViewerActionContext& ctx, const ShotFile& shot, bool withBubble) {
  Picture* picture = LoadShot(ctx, shot);
  if (picture == nullptr) {
    ctx.host.setStatus(kLoadFailed);
    return;
  }
  if (picture->width != StandardWidth(picture->width)) {
    ctx.host.setStatus(kAlreadyFramed);
    if (withBubble) ctx.host.warnAlreadyFramed();
    return;
  }
  const FrameStyle style = FrameStyleOf(ctx.settings);
  const int oldWidth = picture->width;
  DrawFrame(*picture, style);
  // DrawFrame leaves a picture alone when the framed one would exceed the limits.
  const int grown = picture->width - oldWidth;
  if (style.thickness > 0 && grown == 0) {
    ctx.host.setStatus(kSaveFailed);
    return;
  }
  FinishSave(ctx, *picture, shot);
}

void Delete(ViewerActionContext& ctx, const ShotFile& shot) {
  // The sound answers the key press, so it plays whether or not the file goes.
  PlayIfSoundOn(ctx, id::kSoundDeleted);
  if (!ctx.files.deleteFile(shot.path)) {
    ctx.host.setStatus(kDeleteFailed);
    return;
  }
  ctx.host.removeThumbnail(shot.control);
  ctx.host.refresh();
}

}  // namespace

int StandardWidth(int width) {
  static constexpr int kWidths[] = {80, 160, 240, 320, 480, 640, 800, 1024};
  for (int i = 0; i + 1 < static_cast<int>(std::size(kWidths)); ++i) {
    if (width >= kWidths[i] && width < kWidths[i + 1]) return kWidths[i];
  }
  return width;
}

int FormatIndexOf(std::u16string_view extension) {
  for (std::size_t i = 0; i < kShotExtensions.size(); ++i) {
    if (extension == kShotExtensions[i]) return static_cast<int>(i);
  }
  return 0;
}

ShotAction DoubleClickAction(const std::function<bool(HeldKey)>& keyHeld) {
  if (keyHeld(HeldKey::Delete)) return ShotAction::Delete;
  if (keyHeld(HeldKey::Ctrl)) return ShotAction::AddFrame;
  if (keyHeld(HeldKey::Shift)) return ShotAction::RemoveFrame;
  return ShotAction::Copy;
}

bool FrameCropOf(int width, int height, FrameCrop& crop) {
  const int standard = StandardWidth(width);
  const int t = (width - standard) / 2;
  if (width <= 0 || height - 2LL * t <= 0) return false;
  crop = {t, t, standard, height - 2 * t};
  return true;
}

void RunShotAction(ViewerActionContext& ctx, ShotAction action, const ShotFile& shot,
                   bool withBubble) {
  switch (action) {
    case ShotAction::Copy:
      Copy(ctx, shot);
      return;
    case ShotAction::RemoveFrame:
      RemoveFrame(ctx, shot);
      return;
    case ShotAction::AddFrame:
      AddFrame(ctx, shot, withBubble);
      return;
    case ShotAction::Delete:
      Delete(ctx, shot);
      return;
  }
}

}  // namespace snapdeck
