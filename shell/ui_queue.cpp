#include "shell/ui_queue.h"

#include <utility>

namespace snapdeck {

UiQueue::UiQueue(std::function<void()> wake) : wake_(std::move(wake)) {}

UiQueue::~UiQueue() { close(); }

bool UiQueue::post(std::function<void()> job) {
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    jobs_.push_back({std::move(job), nullptr});
  }
  if (wake_) wake_();
  return true;
}

bool UiQueue::postAndWait(std::function<void()> job) {
  auto outcome = std::make_shared<Outcome>(Outcome::Waiting);
  {
    std::lock_guard lock(mutex_);
    if (closed_) return false;
    jobs_.push_back({std::move(job), outcome});
  }
  if (wake_) wake_();
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [&] { return *outcome != Outcome::Waiting; });
  return *outcome == Outcome::Ran;
}

bool UiQueue::pending() {
  std::lock_guard lock(mutex_);
  return !jobs_.empty();
}

void UiQueue::runPending() {
  std::unique_lock lock(mutex_);
  // Only what waits now: a job that posts again must not keep this call going.
  for (std::size_t left = jobs_.size(); left > 0 && !jobs_.empty(); --left) {
    Job job = std::move(jobs_.front());
    jobs_.pop_front();
    running_ = job.outcome;
    lock.unlock();
    job.run();
    job.run = nullptr;  // what it holds is freed before the waiting thread goes on
    lock.lock();
    if (running_ && *running_ == Outcome::Waiting) *running_ = Outcome::Ran;
    running_ = nullptr;
    changed_.notify_all();
  }
}

void UiQueue::drop(Job& job) {
  if (job.outcome) *job.outcome = Outcome::Dropped;
}

void UiQueue::close() {
  std::deque<Job> dropped;
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
    dropped.swap(jobs_);
    for (Job& job : dropped) drop(job);
    // A job running now finishes, but the thread waiting for it is let go at once.
    if (running_ && *running_ == Outcome::Waiting) *running_ = Outcome::Dropped;
  }
  changed_.notify_all();
  // Freed without the lock: what the functions hold may post or wait itself.
}

void UiQueue::open() {
  std::lock_guard lock(mutex_);
  closed_ = false;
}

}  // namespace snapdeck
