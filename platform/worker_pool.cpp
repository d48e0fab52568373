#include "platform/worker_pool.h"

#include <algorithm>
#include <utility>

namespace snapdeck {

WorkerPool::WorkerPool(int threads, std::uint64_t memoryBudget) : budget_(memoryBudget) {
  for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { work(); });
}

WorkerPool::~WorkerPool() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    queue_.clear();
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

int WorkerPool::DefaultThreads() {
  return std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

void WorkerPool::submit(std::uint64_t cost, std::function<void()> task) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    queue_.push_back({cost, std::move(task)});
  }
  changed_.notify_all();
}

void WorkerPool::clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.clear();
}

void WorkerPool::waitIdle() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && running_ == 0; });
}

void WorkerPool::work() {
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] {
      return stopping_ || (!queue_.empty() &&
                           (running_ == 0 || inFlightCost_ + queue_.front().cost <= budget_));
    });
    if (stopping_) return;
    Task task = std::move(queue_.front());
    queue_.pop_front();
    inFlightCost_ += task.cost;
    ++running_;
    lock.unlock();
    task.run();
    task.run = nullptr;  // what it captured goes before its cost is given back
    lock.lock();
    inFlightCost_ -= task.cost;
    --running_;
    changed_.notify_all();
  }
}

void MemoryBudget::take(std::uint64_t cost) {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [&] { return held_ == 0 || held_ + cost <= limit_; });
  held_ += cost;
}

void MemoryBudget::takeNow(std::uint64_t cost) {
  std::lock_guard<std::mutex> lock(mutex_);
  held_ += cost;
}

void MemoryBudget::giveBack(std::uint64_t cost) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    held_ -= std::min(cost, held_);
  }
  changed_.notify_all();
}

std::uint64_t MemoryBudget::held() {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

}  // namespace snapdeck
