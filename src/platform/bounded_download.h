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
#include <string>

#include "platform/url_download.h"

namespace qv::platform {

struct TransferLimits {
  std::chrono::milliseconds silence{std::chrono::seconds(60)};
};

// The result when the wait was given up (INET_E_CONNECTION_TIMEOUT).
inline constexpr int32_t kTransferTimedOut = static_cast<int32_t>(0x800C000B);

// Fetches `url` into `filePath` as downloader.download does; returns its result, or kTransferTimedOut.
int32_t downloadWithin(UrlDownloader& downloader, const std::string& url, const std::string& filePath,
                       const TransferLimits& limits);

}  // namespace qv::platform
