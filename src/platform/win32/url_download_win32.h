#pragma once
// URL downloads for the Windows build: URLDownloadToFileW with a binding-status callback that passes
// progress on and can abort.
//
// The platform's own binding options apply (cache, proxy, redirects). On top of them two checks make
// a failed fetch a failure whatever the urlmon in use does with it: an HTTP status of 400 or more
// (seen through IHttpNegotiate::OnResponse) ends the transfer with INET_E_RESOURCE_NOT_FOUND for 404
// and 410 and INET_E_DOWNLOAD_FAILURE otherwise, and a body shorter than its announced
// Content-Length is INET_E_DOWNLOAD_FAILURE. (Wine's urlmon, for one, reports S_OK for a 404 or 500
// answer, having saved the error page, and for a connection closed mid-body.) Blanks and non-ASCII
// characters in the URL are sent percent-encoded as UTF-8, whatever the ANSI code page. The bytes go
// to a temporary file beside the target, moved over it only on success; temporaries of the same
// target that a killed run left behind are removed first.
//
// urlmon has no time limits of its own that a caller can set per transfer, and while a server keeps
// a socket open without sending, it reports nothing, so the progress callback never gets the chance
// to answer abort. A watchdog thread per transfer therefore aborts the binding (IBinding::Abort, the
// binding's way of being stopped from outside its callbacks) when a time bound of the request runs
// out: the connection has not stood within `connect`, nothing has moved for `silence`, the rate fell
// under its floor, or the deadline passed; the transfer then ends with kTimedOut.
//
// The cap: a Content-Length over it (IHttpNegotiate::OnResponse) is refused before the body, the
// progress callback stops the transfer once the bytes so far, or the length urlmon has learnt, pass
// it, and the watchdog stops it once the files the body goes to (the temporary file and the platform's
// cache file, see BindingWatchdog) hold more; what arrived is measured once more after the transfer.
// Each ends with kTooLarge, and the cache file of a body refused for its size is deleted.
//
// COM is initialised (apartment-threaded) on the calling thread for the length of each call.
// download() reads the object only as it starts, so a transfer that hangs inside the platform past
// the downloader's life (see DownloadWorkers::shutdown) never reaches into a destroyed object.
#include "common/file_system.h"
#include "platform/url_download.h"

namespace qv::platform::win32 {

class UrlMonDownloader : public UrlDownloader {
 public:
  int32_t download(const DownloadRequest& request, const ProgressCallback& progress) override;

 private:
  files::LeftoverTemps leftovers_{".part"};
};

}  // namespace qv::platform::win32
