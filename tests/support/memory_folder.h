// A folder held in memory for the viewer's tests: files with contents and times in
// listing order; an unknown folder cannot be listed. Reads can be held at a gate to
// catch the thumbnail loader midway, and can run out of memory. The largest read is kept.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <new>
#include <string>
#include <vector>

#include "platform/folder_listing.h"

namespace snapdeck {

class MemoryFolder final : public FolderReader {
 public:
  struct File {
    std::u16string name;
    std::vector<std::uint8_t> bytes;
    std::int64_t time = 0;
    bool timeKnown = true;
  };

  std::u16string folder = u"C:\\shots\\";
  std::vector<File> files;

  void add(std::u16string name, std::vector<std::uint8_t> bytes = {}, std::int64_t time = 0) {
    files.push_back({std::move(name), std::move(bytes), time, true});
  }

  bool list(const std::u16string& path, std::vector<StampedFile>& out) override {
    out.clear();
    if (path != folder) return false;
    for (const File& f : files) out.push_back({f.name, f.time, f.timeKnown, f.bytes.size()});
    return true;
  }

  bool readHead(const std::u16string& path, std::size_t maxBytes,
                std::vector<std::uint8_t>& out) override {
    out.clear();
    std::unique_lock<std::mutex> lock(mutex_);
    ++reading_;
    mostAtOnce_ = std::max(mostAtOnce_, reading_);
    changed_.notify_all();
    changed_.wait(lock, [&] { return open_ || path.find(gated_) == std::u16string::npos; });
    --reading_;
    if (!exhausted_.empty() && path.find(exhausted_) != std::u16string::npos) {
      throw std::bad_alloc();
    }
    for (const File& f : files) {
      if (folder + f.name != path) continue;
      out.assign(f.bytes.begin(),
                 f.bytes.begin() + static_cast<std::ptrdiff_t>(std::min(maxBytes, f.bytes.size())));
      largestRead_ = std::max(largestRead_, out.size());
      return true;
    }
    return false;
  }

  // Reads of paths containing `part` wait until open() (every read when part is empty).
  void gate(std::u16string part) {
    std::lock_guard<std::mutex> lock(mutex_);
    gated_ = std::move(part);
    open_ = false;
  }
  void open() {
    std::lock_guard<std::mutex> lock(mutex_);
    open_ = true;
    changed_.notify_all();
  }
  // Waits until n reads are under way (held at the gate or running).
  void waitReading(int n) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return reading_ >= n; });
  }
  // As waitReading, for at most timeoutMs; false when fewer were ever under way.
  bool waitReading(int n, int timeoutMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return reading_ >= n; });
  }
  int mostAtOnce() {
    std::lock_guard<std::mutex> lock(mutex_);
    return mostAtOnce_;
  }
  std::size_t largestRead() {
    std::lock_guard<std::mutex> lock(mutex_);
    return largestRead_;
  }
  // Reads of paths containing `part` fail with std::bad_alloc, as an allocation would.
  void exhaust(std::u16string part) {
    std::lock_guard<std::mutex> lock(mutex_);
    exhausted_ = std::move(part);
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::u16string gated_ = u"\x1";  // matches no path: nothing held
  bool open_ = true;
  int reading_ = 0;
  int mostAtOnce_ = 0;
  std::size_t largestRead_ = 0;
  std::u16string exhausted_;
};

}  // namespace snapdeck
