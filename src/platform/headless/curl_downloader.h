#pragma once
// URL downloads for the native build, over libcurl's easy interface. Each call runs one transfer on
// the calling thread with an easy handle of its own, so any number of threads may download at once
// through the same CurlDownloader.
#include <cstdint>
#include <string>
#include <utility>

#include "common/file_system.h"
#include "platform/body_fetch.h"
#include "platform/url_download.h"

namespace qv::platform::headless {

// Holds libcurl's process-wide initialisation for as long as one of these lives. Construction and
// destruction are serialised by a lock and counted, so owners may come and go on any thread; the
// library is set up by the first and torn down by the last.
class CurlGlobal {
 public:
  CurlGlobal();
  ~CurlGlobal();
  CurlGlobal(const CurlGlobal&) = delete;
  CurlGlobal& operator=(const CurlGlobal&) = delete;
};

// Which certificates an HTTPS server must be signed by: the system's store unless a file of
// certificates is named (what a test's own authority, or a publisher's private one, needs).
struct TlsTrust {
  std::string caFile;
};

// Fetches into a temporary file beside the target and renames it over the target only when the
// transfer succeeded. Temporaries of the same target that a killed run left behind are removed first.
// Redirects are followed; an HTTP status of 400 or more is a failure (404 gives kNotFound, the others
// kDownloadFailure) and its body is never written. A refused or unreachable server gives
// kCannotConnect, a time bound that ran out kTimedOut, a body over its cap kTooLarge, a body the
// acceptance check refused kNotAccepted, a target that cannot be written kCannotWrite, an abort by the
// progress callback kAborted. Blanks and non-ASCII characters in the URL are sent percent-encoded as
// UTF-8.
//
// The bounds: curl itself keeps the connect limit, the silence (less than a byte a second for that
// long), the deadline, and refuses a Content-Length over the cap before the body; the write callback
// counts the body against the cap as it arrives (a body without a length, or longer than announced),
// and the progress callback, which curl calls about once a second even while nothing arrives, keeps
// the rate floor.
//
// Progress: curl offers a report many times a second, most of them repeating the last figures. A
// report is passed on when the figures changed, and otherwise at most twice a second, so the caller
// sees every change and a stalled transfer still reaches the callback (which is where it can abort).
// After a successful transfer one last report gives (size, size), as the end of the data.
class CurlDownloader : public UrlDownloader {
 public:
  explicit CurlDownloader(TlsTrust trust = {}) : trust_(std::move(trust)) {}
  int32_t download(const DownloadRequest& request, const ProgressCallback& progress) override;

 private:
  CurlGlobal global_;
  TlsTrust trust_;
  files::LeftoverTemps leftovers_{".part"};
};

// The body fetch (platform/body_fetch.h) on the same settings and bounds as CurlDownloader: the
// request's headers go out as they are, the head check sees the final answer's head (after redirects)
// before its body is written, and the body file is opened then, never through a link.
class CurlBodyFetcher : public BodyFetcher {
 public:
  explicit CurlBodyFetcher(TlsTrust trust = {}) : trust_(std::move(trust)) {}
  BodyAnswer fetchBody(const BodyRequest& request, const ProgressCallback& progress) override;

 private:
  CurlGlobal global_;
  TlsTrust trust_;
};

// A whole resource fetched into memory (the catalogue reading uses it).
struct MemoryFetch {
  int32_t result = download_result::kFailed;  // a download_result code
  long httpStatus = 0;                        // 0 when no HTTP answer arrived
  std::string errorText;                      // why it failed, in words, when result is not kOk
  std::string body;
};

// Same rules and bounds as CurlDownloader::download (redirects, status >= 400 a failure), without
// progress. A failed fetch keeps no body. The caller keeps a CurlGlobal alive while calling.
MemoryFetch fetchToMemory(const std::string& url, const TransferBounds& bounds);

}  // namespace qv::platform::headless
