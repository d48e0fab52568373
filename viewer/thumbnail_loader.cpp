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

}  // namespace

RowPicture ProbeShot(const std::u16string& path, FolderReader& reader) {
  RowPicture picture;
  std::vector<std::uint8_t> head;
  std::size_t want = kHeadBytes;
  while (reader.readHead(path, want, head)) {
    const SizeProbe probe =
        ProbePictureSize(head.data(), head.size(), picture.width, picture.height);
    if (probe == SizeProbe::Known) picture.loaded = true;
    if (probe != SizeProbe::NeedMore || head.size() < want || want >= kMaxPictureFileBytes) break;
    want = kMaxPictureFileBytes;  // metadata before the size: rare, so read it all once
  }
  return picture;
}

ThumbnailResult MakeThumbnail(const ThumbnailJob& job, FolderReader& reader) {
  ThumbnailResult result;
  result.index = job.index;
  std::vector<std::uint8_t> bytes;
  if (!reader.readHead(job.path, kMaxPictureFileBytes + 1, bytes) ||
      bytes.size() > kMaxPictureFileBytes) {
    return result;
  }
  const ThumbnailSize wanted = ThumbnailSizeFor(job.width, job.height, job.columnWidth);
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

ThumbnailLoader::ThumbnailLoader(FolderReader& reader, int threads, std::uint64_t memoryBudget,
                                 std::function<void()> wake)
    : reader_(reader), budget_(memoryBudget), wake_(std::move(wake)) {
  for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { work(); });
}

ThumbnailLoader::~ThumbnailLoader() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

int ThumbnailLoader::DefaultThreads() {
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

// Decoded pixels plus, at most, as much again for the file's bytes.
std::uint64_t ThumbnailLoader::CostOf(const ThumbnailJob& job) {
  return 8ull * static_cast<std::uint64_t>(std::max(job.width, 1)) *
         static_cast<std::uint64_t>(std::max(job.height, 1));
}

void ThumbnailLoader::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  ++generation_;
  queue_.clear();
  results_.clear();
}

void ThumbnailLoader::submit(std::vector<ThumbnailJob> jobs) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (ThumbnailJob& job : jobs) queue_.push_back(std::move(job));
  }
  changed_.notify_all();
}

std::vector<ThumbnailResult> ThumbnailLoader::take() {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::exchange(results_, {});
}

void ThumbnailLoader::waitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void ThumbnailLoader::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    // A job starts when its decode fits the budget beside those running, or alone.
    changed_.wait(lock, [this] {
      return stopping_ || (!queue_.empty() &&
                           (running_ == 0 || inFlightCost_ + CostOf(queue_.front()) <= budget_));
    });
    if (stopping_) return;
    ThumbnailJob job = std::move(queue_.front());
    queue_.pop_front();
    const std::uint64_t cost = CostOf(job);
    const std::uint64_t generation = generation_;
    inFlightCost_ += cost;
    ++running_;
    lock.unlock();
    ThumbnailResult result = MakeThumbnail(job, reader_);
    lock.lock();
    inFlightCost_ -= cost;
    --running_;
    bool wake = false;
    if (generation == generation_ && !stopping_) {
      wake = results_.empty();
      results_.push_back(std::move(result));
    }
    changed_.notify_all();
    if (wake && wake_) {
      lock.unlock();
      wake_();
      lock.lock();
    }
  }
}

}  // namespace snapdeck
