#include "viewer/thumbnail_loader.h"

#include <algorithm>
#include <utility>

#include "imaging/codec.h"
#include "imaging/picture_size.h"
#include "imaging/scale.h"

namespace snapdeck {

namespace {

// Enough for the header of any picture but a JPEG with large metadata in front.
constexpr std::size_t kHeadBytes = 64 * 1024;

std::uint64_t BytesToRead(const ThumbnailJob& job) {
  return std::min({job.fileBytes, job.cost.fileBytes, std::uint64_t{kMaxPictureFileBytes}});
}

ThumbnailResult Probe(const ThumbnailJob& job, FolderReader& reader) {
  ThumbnailResult result;
  result.index = job.index;
  result.probed = true;
  std::vector<std::uint8_t> head;
  if (!reader.readHead(job.path, static_cast<std::size_t>(BytesToRead(job)), head)) return result;
  result.ok = ProbePicture(head.data(), head.size(), result.width, result.height, result.cost) ==
              SizeProbe::Known;
  return result;
}

ThumbnailResult Decode(const ThumbnailJob& job, FolderReader& reader) {
  ThumbnailResult result;
  result.index = job.index;
  // Bytes past what the picture can need are padding or metadata: not read, so a
  // padded file costs no more than the picture it holds.
  std::vector<std::uint8_t> bytes;
  if (!reader.readHead(job.path, static_cast<std::size_t>(BytesToRead(job)), bytes)) {
    return result;
  }
  const ThumbnailSize wanted = ThumbnailSizeFor(job.width, job.height, job.columnWidth);
  // A file changed since its header was read may claim more than was counted for it.
  int w = 0, h = 0;
  PictureCost now;
  if (ProbePicture(bytes.data(), bytes.size(), w, h, now) != SizeProbe::Known ||
      now.decodeBytes > job.cost.decodeBytes) {
    return result;
  }
  // Only a picture that will be shrunk may come out of the decoder smaller.
  DecodeResult decoded =
      DecodeImageAtLeast(bytes.data(), bytes.size(), wanted.resized ? wanted.width : 0,
                         wanted.resized ? wanted.height : 0, result.width, result.height);
  bytes = {};
  if (!decoded.ok) return result;
  const ThumbnailSize size = ThumbnailSizeFor(result.width, result.height, job.columnWidth);
  Picture& picture = decoded.picture;
  if (picture.width == size.width && picture.height == size.height) {
    result.thumbnail = std::move(picture);
  } else {
    result.thumbnail = ResizeAreaAverage(picture, size.width, size.height);
    if (result.thumbnail.empty()) return result;
  }
  result.ok = true;
  return result;
}

}  // namespace

RowPicture ProbeShot(const ShotEntry& entry, FolderReader& reader) {
  RowPicture picture;
  std::vector<std::uint8_t> head;
  if (!reader.readHead(entry.path(), kHeadBytes, head)) return picture;
  const SizeProbe probe =
      ProbePicture(head.data(), head.size(), picture.width, picture.height, picture.cost);
  picture.loaded = probe == SizeProbe::Known;
  // Metadata before the size: rare, and read in the background.
  if (probe == SizeProbe::NeedMore && head.size() == kHeadBytes) {
    picture.pending = true;
    picture.cost = {kPictureMetadataBytes, 0};
  }
  return picture;
}

ThumbnailJob JobForRow(int index, const ShotEntry& entry, const RowPicture& picture,
                       int columnWidth) {
  ThumbnailJob job;
  job.index = index;
  job.path = entry.path();
  job.width = picture.width;
  job.height = picture.height;
  job.columnWidth = columnWidth;
  job.fileBytes = entry.bytes;
  job.cost = picture.cost;
  job.probe = !picture.loaded && picture.pending;
  return job;
}

std::uint64_t MemoryOfJob(const ThumbnailJob& job) {
  const ThumbnailSize thumb = ThumbnailSizeFor(job.width, job.height, job.columnWidth);
  return BytesToRead(job) + job.cost.decodeBytes +
         4ull * static_cast<std::uint64_t>(std::max(thumb.width, 0)) *
             static_cast<std::uint64_t>(std::max(thumb.height, 0));
}

ThumbnailResult MakeThumbnail(const ThumbnailJob& job, FolderReader& reader) {
  return job.probe ? Probe(job, reader) : Decode(job, reader);
}

ThumbnailLoader::ThumbnailLoader(FolderReader& reader, int threads, std::uint64_t memoryBudget,
                                 std::function<void()> wake)
    : reader_(reader), wake_(std::move(wake)), pool_(threads, memoryBudget) {}

ThumbnailLoader::~ThumbnailLoader() { pool_.clear(); }

void ThumbnailLoader::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  pool_.clear();
  results_.clear();
}

void ThumbnailLoader::submit(std::vector<ThumbnailJob> jobs) {
  std::uint64_t generation = 0;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    generation = generation_;
  }
  for (ThumbnailJob& job : jobs) {
    const std::uint64_t cost = MemoryOfJob(job);
    pool_.submit(cost, [this, job = std::move(job), generation] { run(job, generation); });
  }
}

std::vector<ThumbnailResult> ThumbnailLoader::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(results_, {});
}

void ThumbnailLoader::waitIdle() { pool_.waitIdle(); }

void ThumbnailLoader::run(const ThumbnailJob& job, std::uint64_t generation) {
  // A failure of any kind, running out of memory included, fails this row alone.
  ThumbnailResult result;
  try {
    result = MakeThumbnail(job, reader_);
  } catch (...) {
    result = ThumbnailResult{};
    result.index = job.index;
    result.probed = job.probe;
  }
  bool wake = false;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (generation != generation_) return;
    wake = results_.empty();
    try {
      results_.push_back(std::move(result));
    } catch (...) {  // no memory to keep it: the row stays as it was laid out
      wake = false;
    }
  }
  if (wake && wake_) wake_();
}

}  // namespace snapdeck
