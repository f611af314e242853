#pragma once
// A download the caller waits for only as long as the server keeps sending: the transfer runs on a
// thread of its own, and the wait ends when no byte has arrived for the silence limit (counted from
// the start until the first byte). The catalogue reading blocks the main thread on its fetch, and a
// server that accepts a connection and then says nothing must not hold the window for ever.
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

struct TransferLimits {
  std::chrono::milliseconds silence{std::chrono::seconds(60)};
};

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

// Fetches `url` into `filePath` as downloader.download does; returns its result, or kTransferTimedOut.
int32_t downloadWithin(UrlDownloader& downloader, const std::string& url, const std::string& filePath,
                       const TransferLimits& limits, std::shared_ptr<TransferWait> wait = blockingWait());

}  // namespace qv::platform
