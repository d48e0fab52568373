// Functions other threads hand to the UI thread. Posting queues a function and calls
// `wake`, which only nudges the UI thread's loop; the UI thread runs what waits when
// its loop chooses to (a window message, between the main loop's events), so a queued
// function never runs inside a loop that was not meant to run it.
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace snapdeck {

class UiQueue {
 public:
  // `wake` is called on the posting thread, without the queue's lock.
  explicit UiQueue(std::function<void()> wake);
  ~UiQueue();
  UiQueue(const UiQueue&) = delete;
  UiQueue& operator=(const UiQueue&) = delete;

  // Any thread: queues `job`. False when the queue is closed: the job is freed unrun.
  bool post(std::function<void()> job);
  // Any thread but the UI thread: queues `job` and waits until it has run (true) or the
  // queue was closed before it ran (false).
  bool postAndWait(std::function<void()> job);
  // A function waits.
  bool pending();
  // UI thread: runs the waiting functions in the order they came, without the lock, so
  // they may take long or post again (what they post waits for the next call).
  void runPending();
  // Frees what waits unrun, releases threads waiting in postAndWait and refuses later
  // posts until open().
  void close();
  void open();

 private:
  enum class Outcome { Waiting, Ran, Dropped };
  struct Job {
    std::function<void()> run;
    std::shared_ptr<Outcome> outcome;  // set when a thread waits for the job
  };
  void drop(Job& job);

  std::function<void()> wake_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Job> jobs_;
  std::shared_ptr<Outcome> running_;  // of the job running now, when someone waits for it
  bool closed_ = false;
};

}  // namespace snapdeck
