// A viewer row's thumbnail of any bytes, as the loader makes it: the size probed from the
// header (on a worker when it lies beyond the first bytes), then a JPEG decoded at the
// smallest scale that covers the thumbnail and shrunk. The thumbnail has the rule's
// size for the picture the decoder saw, which is the probed one, or the row fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/thumbnail_layout.h"
#include "viewer/thumbnail_loader.h"

namespace {

class OneFile final : public snapdeck::FolderReader {
 public:
  OneFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
  bool list(const std::u16string&, std::vector<snapdeck::StampedFile>& files) override {
    files = {{u"shot.jpg", 0, true, size_}};
    return true;
  }
  bool readHead(const std::u16string&, std::size_t maxBytes,
                std::vector<std::uint8_t>& out) override {
    out.assign(data_, data_ + std::min(maxBytes, size_));
    return true;
  }

 private:
  const std::uint8_t* data_;
  std::size_t size_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  OneFile file(data, size);
  snapdeck::ShotEntry entry;
  entry.stem = u"shot";
  entry.ext = u".jpg";
  entry.bytes = size;
  // Column widths from the narrowest window to a wide one, so every scale is chosen.
  const int column = 40 + static_cast<int>(size % 600);
  snapdeck::RowPicture picture = snapdeck::ProbeShot(entry, file);
  if (picture.pending) {
    const snapdeck::ThumbnailResult probed =
        snapdeck::MakeThumbnail(snapdeck::JobForRow(0, entry, picture, column), file);
    if (!probed.probed) std::abort();
    picture = {probed.ok, probed.width, probed.height, false, probed.cost};
  }
  if (!picture.loaded) return 0;
  const snapdeck::ThumbnailResult r =
      snapdeck::MakeThumbnail(snapdeck::JobForRow(0, entry, picture, column), file);
  if (!r.ok) {
    if (!r.thumbnail.pixels.empty()) std::abort();
    return 0;
  }
  const snapdeck::ThumbnailSize want = snapdeck::ThumbnailSizeFor(r.width, r.height, column);
  const snapdeck::Picture& t = r.thumbnail;
  if (r.width != picture.width || r.height != picture.height || t.width != want.width ||
      t.height != want.height ||
      t.pixels.size() != static_cast<std::size_t>(t.width) * static_cast<std::size_t>(t.height))
    std::abort();
  return 0;
}
