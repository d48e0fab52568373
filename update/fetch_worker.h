// A fetch on a worker thread, so the window stays live, Cancel works and a server
// that sends a byte now and then cannot hold the program beyond a deadline.
#pragma once

#include <memory>
#include <string>

#include "update/http_fetch.h"
#include "update/update_ports.h"

namespace snapdeck {

// Whole fetches, from opening the connection to the last byte.
inline constexpr int kDocumentDeadlineMs = 2 * 60 * 1000;
inline constexpr int kProgramDeadlineMs = 10 * 60 * 1000;

// How often the waiting thread looks at the clock, the progress and Cancel.
inline constexpr int kFetchPollMs = 50;

// HttpFetch on a thread of its own while this thread waits through the window port
// and draws the progress. Cancel gives "*cancelled*", the deadline "*timed out*";
// both abort the transport and leave body empty.
std::u16string FetchOnWorker(std::unique_ptr<HttpTransport> net, const std::u16string& url,
                             const std::u16string& userName, const std::u16string& password,
                             FetchedBody& body, int chunkChars, int deadlineMs,
                             UpdateWindowPort& window);

}  // namespace snapdeck
