// Thumbnails made off the UI thread: each job reads one file, decodes it (a JPEG at the
// smallest scale that still covers the thumbnail) and shrinks it by the column's rule,
// so only the thumbnail-sized picture outlives the job. A cancel drops the work of the
// previous column at once; the memory of jobs in flight (the bytes read, the decode and
// the thumbnail) is bounded by a budget. A JPEG whose size lies beyond its first bytes
// is probed by a job too, so no long read happens on the UI thread.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/picture.h"
#include "platform/folder_listing.h"
#include "platform/worker_pool.h"
#include "viewer/shot_catalogue.h"
#include "viewer/thumbnail_layout.h"

namespace snapdeck {

struct ThumbnailJob {
  int index = 0;  // row of the column
  std::u16string path;
  int width = 0;  // size from the file's header, which the row was laid out for
  int height = 0;
  int columnWidth = 0;  // W of the resize rule
  std::uint64_t fileBytes = 0;  // the file's size when listed
  PictureCost cost;             // from the header; read no more than its fileBytes
  bool probe = false;           // only read the header, for a pending row
};

struct ThumbnailResult {
  int index = 0;
  bool ok = false;
  int width = 0;  // the picture's size as decoded (or probed), before resizing
  int height = 0;
  Picture thumbnail;
  bool probed = false;  // answers a probe job: size and cost, no thumbnail
  PictureCost cost;
};

// Largest file a thumbnail is made from; a picture within the decoders' budget fits.
inline constexpr std::size_t kMaxPictureFileBytes = 256u * 1024 * 1024;
// Jobs in flight at once stay within this, except one job alone.
inline constexpr std::uint64_t kThumbnailDecodeBudget = 64ull * 1024 * 1024;

// A picture file's size from its first bytes, for laying the column out before any
// picture is decoded; not loaded when the header is unreadable or refused, pending when
// a JPEG's size lies beyond them (ProbeJob reads on).
RowPicture ProbeShot(const ShotEntry& entry, FolderReader& reader);

// The job for a row: a decode for a loaded picture, a probe for a pending one.
ThumbnailJob JobForRow(int index, const ShotEntry& entry, const RowPicture& picture,
                       int columnWidth);

// What a job may hold at once: the bytes it reads, the decode and the thumbnail.
std::uint64_t MemoryOfJob(const ThumbnailJob& job);

// One job, on the calling thread.
ThumbnailResult MakeThumbnail(const ThumbnailJob& job, FolderReader& reader);

class ThumbnailLoader {
 public:
  // wake runs on a worker thread whenever results become available after none were.
  ThumbnailLoader(FolderReader& reader, int threads, std::uint64_t memoryBudget,
                  std::function<void()> wake);
  ThumbnailLoader(const ThumbnailLoader&) = delete;
  ThumbnailLoader& operator=(const ThumbnailLoader&) = delete;
  ~ThumbnailLoader();

  // Forgets every queued job and untaken result; jobs being decoded finish unseen.
  void cancel();
  void submit(std::vector<ThumbnailJob> jobs);
  // The results finished since the last call, for jobs submitted since the last cancel.
  std::vector<ThumbnailResult> take();
  // Blocks until no job is queued or running (results may still wait to be taken).
  void waitIdle();

  // At least two, one per core otherwise.
  static int DefaultThreads() { return WorkerPool::DefaultThreads(); }

 private:
  void run(const ThumbnailJob& job, std::uint64_t generation);

  FolderReader& reader_;
  std::function<void()> wake_;
  std::mutex mutex_;
  std::vector<ThumbnailResult> results_;
  std::uint64_t generation_ = 0;
  WorkerPool pool_;  // last: its threads end before the rest goes
};

}  // namespace snapdeck
