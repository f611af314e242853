#pragma once
// A download the caller waits for only as long as the server keeps sending: the transfer runs on a
// thread of its own, and the wait ends when no byte has arrived for the request's silence limit
// (counted from the start until the first byte), or a little after its deadline. The catalogue
// reading blocks the main thread on its fetch, and a server that accepts a connection and then says
// nothing must not hold the window for ever. The downloader keeps the request's bounds itself; the
// wait is what still ends when a platform's transfer hangs where its own limits do not reach.
//
// A transfer given up on is told to stop at its next progress report (the downloader then ends it)
// and is left to finish on its thread; whatever it writes after that is removed. The downloader must
// outlive it: the platform's downloader lives as long as the program.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/url_download.h"

namespace qv::platform {

// The result when the wait was given up (INET_E_CONNECTION_TIMEOUT).
inline constexpr int32_t kTransferTimedOut = static_cast<int32_t>(0x800C000B);

// How the caller passes the time. The transfer's thread may outlive the call and wake it late, so it
// shares ownership of this.
class TransferWait {
 public:
  virtual ~TransferWait() = default;
  // Returns once wake() has been called (since the last return), or after `timeout`, or earlier.
  virtual void wait(std::chrono::milliseconds timeout) = 0;
  // From the transfer's thread: something changed.
  virtual void wake() = 0;
};

// Blocks the calling thread and does nothing else meanwhile.
std::shared_ptr<TransferWait> blockingWait();

// How long past the request's deadline the wait still gives the downloader to end by itself.
inline constexpr std::chrono::milliseconds kDeadlineGrace{2000};

// Fetches as downloader.download does; returns its result, or kTransferTimedOut.
int32_t downloadWithin(UrlDownloader& downloader, DownloadRequest request,
                       std::shared_ptr<TransferWait> wait = blockingWait());

}  // namespace qv::platform
