#pragma once
// One HTTP GET whose body the caller places: the step under the conditional and resumable archive
// transfers (download/revalidating_downloader.h). The platform sends the extra request headers it is
// given, keeps the request's bounds, shows the caller the answer's head before any of its body is
// written, and writes the body where the caller's plan says. It decides nothing about validators or
// ranges itself: whether a 304 keeps a file or a 206 fits what is on disk is the caller's judgement,
// made once in portable code for every platform.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/url_download.h"

namespace qv::platform {

// The head of the final answer (after redirects), as the server sent it.
struct AnswerHead {
  int status = 0;
  std::string etag;          // the ETag header, quotes and W/ included; empty when absent
  std::string lastModified;  // the Last-Modified header; empty when absent
  std::string contentRange;  // the Content-Range header; empty when absent
  int64_t contentLength = -1;  // the announced body length; -1 when none was announced
};

// What becomes of the answer's body.
enum class BodyPlacement {
  Append,   // after what the body file already holds (a resumed range)
  Restart,  // the body file is emptied first (a whole body)
  Refuse,   // nothing is written: the transfer ends with kNotAccepted
};

// Called on the transferring thread once, with the final answer's head, for every answer with a
// status below 400 (a 304 included, which has no body to place). An exception counts as Refuse.
using HeadCheck = std::function<BodyPlacement(const AnswerHead& head)>;

struct BodyRequest {
  std::string url;
  // "Name: value" lines added to the GET (If-None-Match, If-Modified-Since, Range, If-Range).
  std::vector<std::string> headers;
  // An existing file, opened for writing only after the head check placed the body, never through a
  // link. Nothing else is ever written.
  std::string bodyPath;
  // maxBytes caps the body file: an appended body may add at most maxBytes less what the file held.
  // The time bounds are those of a whole transfer (url_download.h).
  TransferBounds bounds;
  HeadCheck checkHead;  // required
};

struct BodyAnswer {
  // kOk once the answer is over and its whole body (if any) is in the body file; the codes of
  // url_download.h otherwise. An HTTP status of 400 or more is kNotFound (404, 410) or
  // kDownloadFailure, and writes nothing; a refused head is kNotAccepted.
  int32_t result = download_result::kFailed;
  AnswerHead head;         // status 0 when no answer came
  uint64_t bodyBytes = 0;  // what this answer wrote, whole or not: a cut body stays in the file
};

class BodyFetcher {
 public:
  virtual ~BodyFetcher() = default;
  // Synchronous, on the calling thread; any number of threads at once. Progress reports count this
  // answer's body (done, and its announced length or 0); false from the callback aborts (kAborted).
  virtual BodyAnswer fetchBody(const BodyRequest& request, const ProgressCallback& progress) = 0;
};

}  // namespace qv::platform
