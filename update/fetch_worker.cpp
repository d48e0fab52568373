#include "update/fetch_worker.h"

#include <atomic>
#include <thread>

namespace snapdeck {
namespace {

// Shared by the two threads; the worker keeps it alive should it outlive the wait.
// The transport lives as long as the job, so an abort never meets a closed one.
struct FetchJob {
  std::unique_ptr<HttpTransport> net;
  std::u16string url, userName, password;
  int chunkChars = 0;
  FetchedBody body;
  std::u16string result;
  // (maximum, value) in one word, so the two are never read from different calls.
  std::atomic<std::uint64_t> progress{0};
  std::atomic<bool> progressSeen{true};
  std::atomic<bool> done{false};
};

std::uint64_t Packed(int maximum, int value) {
  return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(maximum)) << 32) |
         static_cast<std::uint32_t>(value);
}

void DrawLatest(FetchJob& job, UpdateWindowPort& window) {
  if (job.progressSeen.exchange(true)) return;
  const std::uint64_t p = job.progress.load();
  window.drawProgress(static_cast<int>(static_cast<std::uint32_t>(p >> 32)),
                      static_cast<int>(static_cast<std::uint32_t>(p)));
}

// After an abort the worker ends at once unless the system ignores it; it is then
// left to end on its own, owning everything it uses.
constexpr int kAbortGraceMs = 500;

}  // namespace

std::u16string FetchOnWorker(std::unique_ptr<HttpTransport> net, const std::u16string& url,
                             const std::u16string& userName, const std::u16string& password,
                             FetchedBody& body, int chunkChars, int deadlineMs,
                             UpdateWindowPort& window) {
  auto job = std::make_shared<FetchJob>();
  job->net = std::move(net);
  job->url = url;
  job->userName = userName;
  job->password = password;
  job->chunkChars = chunkChars;
  std::thread worker([job] {
    job->result = HttpFetch(*job->net, job->url, u"", job->userName, job->password, job->body,
                            job->chunkChars, [&](int maximum, int value) {
                              job->progress.store(Packed(maximum, value));
                              job->progressSeen.store(false);
                            });
    job->done.store(true);
  });

  const std::uint64_t start = window.nowMs();
  std::u16string stopped;
  while (!job->done.load()) {
    DrawLatest(*job, window);
    if (window.waitDuringFetch(kFetchPollMs)) {
      stopped = u"*cancelled*";
    } else if (window.nowMs() - start >= static_cast<std::uint64_t>(deadlineMs)) {
      stopped = u"*timed out*";
    }
    if (!stopped.empty()) break;
  }
  if (stopped.empty()) {
    worker.join();
    DrawLatest(*job, window);
    body = std::move(job->body);
    return job->result;
  }

  job->net->abort();
  const std::uint64_t abortedAt = window.nowMs();
  while (!job->done.load() && window.nowMs() - abortedAt < kAbortGraceMs) {
    window.waitDuringFetch(kFetchPollMs);
  }
  if (job->done.load()) {
    worker.join();
  } else {
    worker.detach();
  }
  body = FetchedBody{};
  return stopped;
}

}  // namespace snapdeck
