#include "platform/headless/curl_downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "common/file_system.h"
#include "platform/transfer_pace.h"
#include "platform/url_escape.h"

namespace qv::platform::headless {

namespace {

namespace dr = download_result;

std::mutex globalLock;
int globalUsers = 0;

struct EasyDeleter {
  void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;

struct FileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Settings every transfer of the program shares: plain GET, redirects followed (bounded, so a loop
// ends), HTTP errors are failures, no signals (we run on worker threads). curl keeps the connect
// limit, the silence (less than a byte a second for that long), the deadline and an announced length
// over the cap itself; the rate floor and a body that grows past the cap are counted by the Watch.
void setCommonOptions(CURL* h, const std::string& url, const TransferBounds& bounds, char* errorBuffer,
                      const TlsTrust& trust = {}) {
  const std::string wire = escapeUrlForWire(url);
  curl_easy_setopt(h, CURLOPT_URL, wire.c_str());
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 30L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(bounds.connect.count()));
  curl_easy_setopt(h, CURLOPT_TIMEOUT_MS, static_cast<long>(bounds.deadline.count()));
  const auto silenceSeconds = std::chrono::ceil<std::chrono::seconds>(bounds.silence).count();
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, static_cast<long>(std::max<long long>(1, silenceSeconds)));
  curl_easy_setopt(h, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(bounds.maxBytes));
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  // HTTPS is verified against the system's certificates, and a redirect may lead only to HTTP or
  // HTTPS: a certificate nobody trusts refuses the transfer (libcurl's defaults, stated so nobody
  // turns them off by accident).
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  if (!trust.caFile.empty()) curl_easy_setopt(h, CURLOPT_CAINFO, trust.caFile.c_str());
  errorBuffer[0] = '\0';
}

// What one transfer counts as it runs: the body's bytes against the cap, and its pace. curl calls
// the write, header and progress callbacks on the transfer's thread, one at a time.
struct Watch {
  explicit Watch(const TransferBounds& b) : bounds(b), pace(b) {}
  const TransferBounds& bounds;
  TransferPace pace;
  uint64_t bodyBytes = 0;
  bool tooLarge = false;

  // Room for `n` more bytes of body; false (and the transfer ends) past the cap.
  bool take(size_t n) {
    if (n > bounds.maxBytes - bodyBytes) {
      tooLarge = true;
      return false;
    }
    bodyBytes += n;
    return true;
  }
  bool tooSlow() const { return pace.broken(); }
  // The transfer's result once curl is done with it, the reasons the watch saw first.
  int32_t result(int32_t curlResult) const {
    if (tooLarge) return dr::kTooLarge;
    if (tooSlow()) return dr::kTimedOut;
    return curlResult;
  }
  // Why it failed, in words, where the watch stopped it.
  std::string why(int32_t finalResult) const {
    if (finalResult == dr::kTooLarge)
      return "the body is larger than " + std::to_string(bounds.maxBytes) + " bytes";
    if (pace.verdict() == TransferPace::Verdict::TooSlow)
      return "the server sent less than " + std::to_string(bounds.minBytesPerSecond) + " bytes a second";
    if (pace.verdict() == TransferPace::Verdict::PastDeadline) return "the transfer took too long";
    return {};
  }
};

// The first header line is the server's answer beginning: the rate is counted from there.
size_t onHeader(char*, size_t size, size_t count, void* user) {
  static_cast<Watch*>(user)->pace.answered();
  return size * count;
}

void watchTransfer(CURL* h, Watch& watch) {
  curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
  curl_easy_setopt(h, CURLOPT_HEADERDATA, &watch);
}

int32_t mapResult(CURLcode code, long httpStatus) {
  switch (code) {
    case CURLE_OK:
      return dr::kOk;
    case CURLE_HTTP_RETURNED_ERROR:
      return httpStatus == 404 || httpStatus == 410 ? dr::kNotFound : dr::kDownloadFailure;
    case CURLE_COULDNT_CONNECT:
      return dr::kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return dr::kTimedOut;
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_RESOLVE_PROXY:
      return dr::kNotFound;
    case CURLE_ABORTED_BY_CALLBACK:
      return dr::kAborted;
    case CURLE_WRITE_ERROR:
      return dr::kCannotWrite;
    case CURLE_FILESIZE_EXCEEDED:
      return dr::kTooLarge;
    case CURLE_URL_MALFORMAT:
    case CURLE_UNSUPPORTED_PROTOCOL:
      return dr::kFailed;
    default:
      return dr::kDownloadFailure;
  }
}

std::string describe(CURLcode code, long httpStatus, const char* errorBuffer) {
  if (code == CURLE_HTTP_RETURNED_ERROR && httpStatus != 0)
    return "the server answered HTTP " + std::to_string(httpStatus);
  return errorBuffer[0] != '\0' ? std::string(errorBuffer) : std::string(curl_easy_strerror(code));
}

// A temporary file beside the target from the file-system room: same directory, so the final rename
// is atomic, and a name of its own, so two transfers of the same target never share one.
struct TempFile {
  std::string path;
  File file;
};

bool createTempBeside(const std::string& target, TempFile& out) {
  std::string path = files::createSiblingTemp(target, ".part");
  if (path.empty()) return false;
  // Opened again by the name it was just created under, never through a link put there since.
  const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_NOFOLLOW | O_CLOEXEC);
  std::FILE* f = fd >= 0 ? ::fdopen(fd, "wb") : nullptr;
  if (f == nullptr) {
    if (fd >= 0) ::close(fd);
    ::unlink(path.c_str());
    return false;
  }
  out.path = std::move(path);
  out.file.reset(f);
  return true;
}

struct FileSink {
  std::FILE* file;
  Watch* watch;
};

size_t writeToFile(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<FileSink*>(user);
  // Answering less than was given ends the transfer (CURLE_WRITE_ERROR); the watch says why.
  if (!sink->watch->take(size * count)) return 0;
  return std::fwrite(data, size, count, sink->file) * size;
}

struct MemorySink {
  CURL* easy;
  std::string* body;
  Watch* watch;
};

size_t writeToString(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<MemorySink*>(user);
  if (!sink->watch->take(size * count)) return 0;
  // Room for the whole announced body at the first piece, so a large catalogue is not copied again
  // each time the text outgrows its buffer. curl has refused an announced length over the cap.
  if (sink->body->empty()) {
    curl_off_t length = -1;
    if (curl_easy_getinfo(sink->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK &&
        length > 0 && static_cast<uint64_t>(length) <= sink->watch->bounds.maxBytes)
      sink->body->reserve(static_cast<size_t>(length));
  }
  sink->body->append(data, size * count);
  return size * count;
}

struct ProgressState {
  Watch* watch = nullptr;
  const ProgressCallback* callback = nullptr;  // null: no reports wanted
  uint64_t lastDone = 0;
  uint64_t lastTotal = 0;
  bool reported = false;
  std::chrono::steady_clock::time_point lastReport;

  // False asks for the transfer to end.
  bool report(uint64_t done, uint64_t total, bool force) {
    if (callback == nullptr) return true;
    const auto now = std::chrono::steady_clock::now();
    const bool changed = !reported || done != lastDone || total != lastTotal;
    if (!force && !changed && now - lastReport < std::chrono::milliseconds(500)) return true;
    reported = true;
    lastDone = done;
    lastTotal = total;
    lastReport = now;
    // No exception may cross back into curl: a throwing callback ends the transfer like an abort.
    try {
      return (*callback)(done, total);
    } catch (...) {
      return false;
    }
  }
};

// curl calls this many times a second while data flows and about once a second while none does, so
// the pace is looked at in time even when the server says nothing.
int onTransferInfo(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t, curl_off_t) {
  auto* state = static_cast<ProgressState*>(user);
  const uint64_t done = dlNow > 0 ? static_cast<uint64_t>(dlNow) : 0;
  const uint64_t total = dlTotal > 0 ? static_cast<uint64_t>(dlTotal) : 0;
  if (state->watch->pace.check(done) != TransferPace::Verdict::Keeping) return 1;
  return state->report(done, total, false) ? 0 : 1;
}

void reportProgress(CURL* h, ProgressState& state) {
  curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onTransferInfo);
  curl_easy_setopt(h, CURLOPT_XFERINFODATA, &state);
  curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
}

}  // namespace

CurlGlobal::CurlGlobal() {
  std::lock_guard lock(globalLock);
  if (globalUsers++ == 0) curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlGlobal::~CurlGlobal() {
  std::lock_guard lock(globalLock);
  if (--globalUsers == 0) curl_global_cleanup();
}

int32_t CurlDownloader::download(const DownloadRequest& request, const ProgressCallback& progress) {
  const std::string& filePath = request.filePath;
  // A killed run cannot clean up after itself; the next fetch of the same target does.
  leftovers_.removeFor(filePath);
  TempFile temp;
  if (!createTempBeside(filePath, temp)) return dr::kCannotWrite;

  Easy easy(curl_easy_init());
  if (!easy) {
    temp.file.reset();
    ::unlink(temp.path.c_str());
    return dr::kFailed;
  }
  const TransferBounds& bounds = request.terms.bounds;
  Watch watch(bounds);
  char errorBuffer[CURL_ERROR_SIZE];
  setCommonOptions(easy.get(), request.url, bounds, errorBuffer, trust_);
  watchTransfer(easy.get(), watch);
  FileSink sink{temp.file.get(), &watch};
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);

  ProgressState state;
  state.watch = &watch;
  if (progress) state.callback = &progress;
  reportProgress(easy.get(), state);

  const CURLcode code = curl_easy_perform(easy.get());
  long httpStatus = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &httpStatus);
  int32_t result = watch.result(mapResult(code, httpStatus));

  // The data is only complete once it has reached the disk; a full disk shows up at the close.
  std::FILE* f = temp.file.release();
  if (std::fclose(f) != 0 && result == dr::kOk) result = dr::kCannotWrite;

  if (result == dr::kOk && progress) {
    curl_off_t size = 0;
    curl_easy_getinfo(easy.get(), CURLINFO_SIZE_DOWNLOAD_T, &size);
    const uint64_t bytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    const bool alreadyShown = state.reported && state.lastDone == bytes && state.lastTotal == bytes;
    if (!alreadyShown && !state.report(bytes, bytes, true)) result = dr::kAborted;
  }

  if (result == dr::kOk && !acceptedByCheck(request.terms.accept, temp.path)) result = dr::kNotAccepted;
  if (result == dr::kOk && !files::renameReplacing(temp.path, filePath)) result = dr::kCannotWrite;
  if (result != dr::kOk) ::unlink(temp.path.c_str());
  return result;
}

namespace {

struct SlistDeleter {
  void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
using Slist = std::unique_ptr<curl_slist, SlistDeleter>;

// One body fetch as it runs: the head as the header lines build it (a redirect's lines are replaced
// by the next answer's), the placement the caller chose, and the open body file.
struct BodyState {
  const BodyRequest* request = nullptr;
  CURL* easy = nullptr;
  Watch* watch = nullptr;
  AnswerHead head;
  bool checked = false;
  bool refused = false;
  bool writeFailed = false;
  int fd = -1;
  uint64_t existing = 0;  // what the body file held before this answer
  uint64_t written = 0;
};

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n'))
    s.remove_suffix(1);
  return s;
}

bool headerNamed(std::string_view line, std::string_view name, std::string_view& value) {
  if (line.size() <= name.size() || line[name.size()] != ':') return false;
  for (size_t i = 0; i < name.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(line[i])) != std::tolower(static_cast<unsigned char>(name[i])))
      return false;
  value = trimBlanks(line.substr(name.size() + 1));
  return true;
}

size_t onBodyHeader(char* data, size_t size, size_t count, void* user) {
  auto* state = static_cast<BodyState*>(user);
  state->watch->pace.answered();
  const std::string_view line(data, size * count);
  std::string_view value;
  if (line.starts_with("HTTP/")) {
    state->head = AnswerHead{};
  } else if (headerNamed(line, "ETag", value)) {
    state->head.etag = value;
  } else if (headerNamed(line, "Last-Modified", value)) {
    state->head.lastModified = value;
  } else if (headerNamed(line, "Content-Range", value)) {
    state->head.contentRange = value;
  } else if (headerNamed(line, "Content-Length", value)) {
    int64_t n = -1;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), n);
    state->head.contentLength = ec == std::errc() && end == value.data() + value.size() && n >= 0 ? n : -1;
  }
  return size * count;
}

// The head check, at the first piece of body or, for an answer without one, once the answer is over.
// False: nothing may be written.
bool placeBody(BodyState& s) {
  if (s.checked) return !s.refused && s.fd >= 0;
  s.checked = true;
  long status = 0;
  curl_easy_getinfo(s.easy, CURLINFO_RESPONSE_CODE, &status);
  s.head.status = static_cast<int>(status);
  BodyPlacement placement = BodyPlacement::Refuse;
  try {
    placement = s.request->checkHead(s.head);
  } catch (...) {
  }
  if (placement == BodyPlacement::Refuse) {
    s.refused = true;
    return false;
  }
  const int flags = O_WRONLY | O_NOFOLLOW | O_CLOEXEC | (placement == BodyPlacement::Restart ? O_TRUNC : 0);
  s.fd = ::open(s.request->bodyPath.c_str(), flags);
  const off_t end = s.fd >= 0 ? ::lseek(s.fd, 0, SEEK_END) : -1;
  if (end < 0) {
    s.writeFailed = true;
    return false;
  }
  s.existing = static_cast<uint64_t>(end);
  const uint64_t cap = s.request->bounds.maxBytes;
  if (s.existing > cap || (s.head.contentLength >= 0 && static_cast<uint64_t>(s.head.contentLength) > cap - s.existing)) {
    s.watch->tooLarge = true;
    return false;
  }
  return true;
}

size_t writeBody(char* data, size_t size, size_t count, void* user) {
  auto* s = static_cast<BodyState*>(user);
  const size_t n = size * count;
  if (!placeBody(*s)) return 0;
  if (n > s->request->bounds.maxBytes - s->existing - s->written) {
    s->watch->tooLarge = true;
    return 0;
  }
  for (size_t done = 0; done < n;) {
    const ssize_t w = ::write(s->fd, data + done, n - done);
    if (w < 0 && errno == EINTR) continue;
    if (w <= 0) {
      s->writeFailed = true;
      return 0;
    }
    done += static_cast<size_t>(w);
    s->written += static_cast<size_t>(w);
  }
  return n;
}

}  // namespace

BodyAnswer CurlBodyFetcher::fetchBody(const BodyRequest& request, const ProgressCallback& progress) {
  BodyAnswer answer;
  Easy easy(curl_easy_init());
  if (!easy) return answer;
  const TransferBounds& bounds = request.bounds;
  Watch watch(bounds);
  char errorBuffer[CURL_ERROR_SIZE];
  setCommonOptions(easy.get(), request.url, bounds, errorBuffer, trust_);
  Slist headers;
  for (const std::string& line : request.headers) {
    curl_slist* grown = curl_slist_append(headers.get(), line.c_str());
    if (grown == nullptr) return answer;
    static_cast<void>(headers.release());
    headers.reset(grown);
  }
  curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());

  BodyState state;
  state.request = &request;
  state.easy = easy.get();
  state.watch = &watch;
  curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, onBodyHeader);
  curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &state);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeBody);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &state);
  ProgressState reports;
  reports.watch = &watch;
  if (progress) reports.callback = &progress;
  reportProgress(easy.get(), reports);

  const CURLcode code = curl_easy_perform(easy.get());
  long httpStatus = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &httpStatus);
  int32_t result = watch.result(mapResult(code, httpStatus));
  // An answer without a body is judged now; one with a status of 400 or more is an error, unjudged.
  if (code == CURLE_OK && !state.checked && httpStatus > 0 && httpStatus < 400 && !placeBody(state) &&
      !state.refused && result == dr::kOk)
    result = dr::kCannotWrite;
  if (state.refused) result = dr::kNotAccepted;
  else if (state.writeFailed && result != dr::kTooLarge) result = dr::kCannotWrite;
  if (state.fd >= 0 && ::close(state.fd) != 0 && result == dr::kOk) result = dr::kCannotWrite;
  if (state.checked) answer.head = state.head;
  answer.head.status = static_cast<int>(httpStatus);
  answer.bodyBytes = state.written;
  answer.result = result;
  return answer;
}

MemoryFetch fetchToMemory(const std::string& url, const TransferBounds& bounds) {
  MemoryFetch out;
  Easy easy(curl_easy_init());
  if (!easy) {
    out.errorText = "libcurl could not start a transfer";
    return out;
  }
  Watch watch(bounds);
  char errorBuffer[CURL_ERROR_SIZE];
  setCommonOptions(easy.get(), url, bounds, errorBuffer);
  watchTransfer(easy.get(), watch);
  MemorySink sink{easy.get(), &out.body, &watch};
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToString);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
  ProgressState state;
  state.watch = &watch;
  reportProgress(easy.get(), state);
  const CURLcode code = curl_easy_perform(easy.get());
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &out.httpStatus);
  out.result = watch.result(mapResult(code, out.httpStatus));
  if (out.result != dr::kOk) {
    const std::string why = watch.why(out.result);
    out.errorText = why.empty() ? describe(code, out.httpStatus, errorBuffer) : why;
    std::string().swap(out.body);  // the memory goes, not only the text
  }
  return out;
}

}  // namespace qv::platform::headless
