#pragma once
// Fetching one URL into one local file, synchronously on the calling thread.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace qv::platform {

// Result codes in the HRESULT form the download worker passes on: 0 is success.
namespace download_result {
constexpr int32_t kOk = 0;
constexpr int32_t kAborted = static_cast<int32_t>(0x80004004);          // E_ABORT
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005);           // E_FAIL
constexpr int32_t kNotFound = static_cast<int32_t>(0x800C0005);         // INET_E_RESOURCE_NOT_FOUND
constexpr int32_t kCannotConnect = static_cast<int32_t>(0x800C0004);    // INET_E_CANNOT_CONNECT
constexpr int32_t kDownloadFailure = static_cast<int32_t>(0x800C0008);  // INET_E_DOWNLOAD_FAILURE
constexpr int32_t kCannotWrite = static_cast<int32_t>(0x80070005);      // E_ACCESSDENIED
constexpr int32_t kTimedOut = static_cast<int32_t>(0x800C000B);         // INET_E_CONNECTION_TIMEOUT
// The body is larger than its resource may be: the server announced so, or it grew past the cap as it
// arrived (HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE)).
constexpr int32_t kTooLarge = static_cast<int32_t>(0x800700DF);
// The whole body arrived and the request's acceptance check refused it
// (HRESULT_FROM_WIN32(ERROR_INVALID_DATA)).
constexpr int32_t kNotAccepted = static_cast<int32_t>(0x8007000D);
}  // namespace download_result

// How much one transfer may bring and how long it may take. Everything from the server is hostile:
// a body that never ends, or one that arrives a byte at a time, must not fill the disk or hold a
// transfer (or whatever waits for it) for ever. Each resource has bounds of its own
// (resource_bounds.h); tests make short ones.
//
// - maxBytes: the body's cap. A server that announces more is refused before a byte is written; a
//   body that grows past it while arriving is cut off there. Either ends with kTooLarge.
// - connect: the wait for a connection to stand. silence: once connected, the longest time without a
//   single byte (from the start until the first one).
// - minBytesPerSecond over rateWindow: from the server's answer on, each span of rateWindow must bring
//   at least that average. A server that sends a byte now and then, never silent for long, is stopped
//   by this rather than by the silence limit.
// - deadline: the whole transfer, from the call to its end.
// A time limit that runs out ends the transfer with kTimedOut. A zero rate or window checks no rate.
struct TransferBounds {
  uint64_t maxBytes = 128ull << 20;
  std::chrono::milliseconds connect{std::chrono::seconds(30)};
  std::chrono::milliseconds silence{std::chrono::seconds(60)};
  uint64_t minBytesPerSecond = 1024;
  std::chrono::milliseconds rateWindow{std::chrono::seconds(30)};
  std::chrono::milliseconds deadline{std::chrono::hours(1)};
};

// Run on the downloading thread once the whole body is in the temporary file (closed), before that
// file replaces the target; given the temporary's path. False (or an exception) refuses the body: the
// transfer ends with kNotAccepted, the temporary goes and the target keeps what it held.
using AcceptanceCheck = std::function<bool(const std::string& temporaryPath)>;

// The check's verdict on the whole body in `temporaryPath`: true without a check, false when it
// refuses or throws. Both downloaders ask it the same way.
bool acceptedByCheck(const AcceptanceCheck& accept, const std::string& temporaryPath);

// Whether a transfer asks the server about the file it already has (download/revalidating_downloader.h).
// The archives do: most of them have not changed since the last start. `pass` names one start-up pass
// (0: none); a file fetched or confirmed in a pass is not asked about again in the same pass.
struct Revalidation {
  bool enabled = false;
  uint64_t pass = 0;
};

// What a transfer must keep to, apart from where it goes.
struct DownloadTerms {
  TransferBounds bounds;
  AcceptanceCheck accept;  // optional
  Revalidation revalidation = {};
};

// One transfer: the address, the local file it ends in, and its terms.
struct DownloadRequest {
  std::string url;
  std::string filePath;
  DownloadTerms terms;
};

// Called on the downloading thread for each progress report: bytes so far and total bytes (0 while no
// size is known). Returning false aborts the transfer, which then ends with kAborted.
using ProgressCallback = std::function<bool(uint64_t done, uint64_t total)>;

class UrlDownloader {
 public:
  virtual ~UrlDownloader() = default;
  // Fetches request.url into request.filePath within the request's bounds. The bytes go to a
  // temporary file beside the target, renamed over it only when the whole resource arrived and the
  // acceptance check (if any) took it, so a failed fetch leaves an existing file as it was.
  virtual int32_t download(const DownloadRequest& request, const ProgressCallback& progress) = 0;
};

}  // namespace qv::platform
