// Work on a few threads of their own, with the memory it holds bounded: a task starts
// when its cost fits the budget beside the tasks running, or when none runs (so a task
// larger than the budget runs alone rather than never).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace snapdeck {

class WorkerPool {
 public:
  WorkerPool(int threads, std::uint64_t memoryBudget);
  WorkerPool(const WorkerPool&) = delete;
  WorkerPool& operator=(const WorkerPool&) = delete;
  ~WorkerPool();  // forgets queued tasks and waits for the running ones

  // Queues task; it runs on a worker in the order submitted. A task must not throw.
  void submit(std::uint64_t cost, std::function<void()> task);
  // Forgets every queued task; running ones finish.
  void clear();
  // Blocks until no task is queued or running.
  void waitIdle();

  int threads() const { return static_cast<int>(threads_.size()); }
  // At least two, one per core otherwise.
  static int DefaultThreads();

 private:
  struct Task {
    std::uint64_t cost = 0;
    std::function<void()> run;
  };
  void work();

  const std::uint64_t budget_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Task> queue_;
  std::uint64_t inFlightCost_ = 0;
  int running_ = 0;
  bool stopping_ = false;
  std::vector<std::thread> threads_;
};

// Memory held across steps that are not one task (bytes arriving on a connection, then
// the work on them): take waits while others hold so much that cost would not fit,
// unless nothing is held at all.
class MemoryBudget {
 public:
  explicit MemoryBudget(std::uint64_t limit) : limit_(limit) {}
  void take(std::uint64_t cost);
  // Taken at once whatever is held: for one who holds some already and must not wait
  // for others who may be waiting for it.
  void takeNow(std::uint64_t cost);
  void giveBack(std::uint64_t cost);
  std::uint64_t held();

 private:
  const std::uint64_t limit_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::uint64_t held_ = 0;
};

}  // namespace snapdeck
