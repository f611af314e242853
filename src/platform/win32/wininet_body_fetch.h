#pragma once
// The body fetch of the Windows build, on WinINet: one GET with the caller's headers, its head shown
// to the caller's check, its body written into the caller's file as the check placed it.
//
// WinINet's cache is kept out of it: every request goes to the server (INTERNET_FLAG_RELOAD, with
// Pragma: no-cache for a proxy) and nothing is written to the cache, so a body on disk is always
// one the server sent for this very request, and a 304 is the server's own answer to the caller's
// validators. No cookies, no dialog ever. Redirects are WinINet's, within its own limit. A
// certificate the system does not trust ends the transfer (see the implementation).
//
// The bounds of TransferBounds are kept by the transferring thread itself, which starts each WinINet
// operation and then waits for its end only as long as the bounds allow (wininet_request.h tells why
// that thread, rather than another one that would close the handle under a blocked call): the
// connect limit until a connection stands, the silence limit from then on, the rate floor from the
// answer on and the deadline throughout. A limit that runs out ends the transfer with kTimedOut.
// WinINet's own connect, send and receive time-outs are set a second past ours, so its connections
// give up soon after we have.
//
// The progress callback hears of every piece of the body, and every half second while none comes
// (the same answer again), so a caller can end a transfer whose server has gone quiet.
//
// One session for the fetcher's life, shared by any number of threads at once; no COM. A fetch that
// is under way when the fetcher goes is not waited for; it ends within its bounds as it would have.
#include "platform/body_fetch.h"
#include "platform/win32/wininet_request.h"

namespace qv::platform::win32 {

class WinInetBodyFetcher : public BodyFetcher {
 public:
  BodyAnswer fetchBody(const BodyRequest& request, const ProgressCallback& progress) override;

 private:
  WinInetSession session_;
};

}  // namespace qv::platform::win32
