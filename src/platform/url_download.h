#pragma once
// Fetching one URL into one local file, synchronously on the calling thread.
#include <cstdint>
#include <functional>
#include <string>

namespace qv::platform {

// Result codes in the HRESULT form the download worker passes on: 0 is success.
namespace download_result {
constexpr int32_t kOk = 0;
constexpr int32_t kAborted = static_cast<int32_t>(0x80004004);       // E_ABORT
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005);        // E_FAIL
constexpr int32_t kNotFound = static_cast<int32_t>(0x800C0005);      // INET_E_RESOURCE_NOT_FOUND
constexpr int32_t kCannotConnect = static_cast<int32_t>(0x800C0004);  // INET_E_CANNOT_CONNECT
constexpr int32_t kDownloadFailure = static_cast<int32_t>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE
constexpr int32_t kCannotWrite = static_cast<int32_t>(0x80070005);      // E_ACCESSDENIED
constexpr int32_t kTimedOut = static_cast<int32_t>(0x800C000B);         // INET_E_CONNECTION_TIMEOUT
}  // namespace download_result

// How long a transfer may wait: for the connection to the server, and, once connected, without a
// single sign of progress. A server that accepts and then stops talking, before the answer or in the
// middle of a body, must not hold a download (or whatever waits for it) for ever. Both downloaders
// take their limits when they are made; tests make theirs with short ones. A limit that runs out
// ends the transfer with kTimedOut.
struct DownloadLimits {
  long connectSeconds = 30;
  long stallSeconds = 60;
};

// Called on the downloading thread for each progress report: bytes so far and total bytes (0 while no
// size is known). Returning false aborts the transfer, which then ends with kAborted.
using ProgressCallback = std::function<bool(uint64_t done, uint64_t total)>;

class UrlDownloader {
 public:
  virtual ~UrlDownloader() = default;
  // Fetches `url` into `filePath`. The bytes go to a temporary file beside the target, renamed over it
  // only when the whole resource arrived, so a failed fetch leaves an existing file as it was.
  virtual int32_t download(const std::string& url, const std::string& filePath,
                           const ProgressCallback& progress) = 0;
};

}  // namespace qv::platform
