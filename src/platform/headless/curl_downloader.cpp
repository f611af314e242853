#include "platform/headless/curl_downloader.h"

#include <curl/curl.h>
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>

#include "common/file_system.h"
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
// ends), HTTP errors are failures, no signals (we run on worker threads).
void setCommonOptions(CURL* h, const std::string& url, const CurlLimits& limits, char* errorBuffer) {
  const std::string wire = escapeUrlForWire(url);
  curl_easy_setopt(h, CURLOPT_URL, wire.c_str());
  curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(h, CURLOPT_MAXREDIRS, 30L);
  curl_easy_setopt(h, CURLOPT_FAILONERROR, 1L);
  curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT, limits.connectSeconds);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_LIMIT, 1L);
  curl_easy_setopt(h, CURLOPT_LOW_SPEED_TIME, limits.stallSeconds);
  curl_easy_setopt(h, CURLOPT_ERRORBUFFER, errorBuffer);
  errorBuffer[0] = '\0';
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

size_t writeToFile(char* data, size_t size, size_t count, void* user) {
  return std::fwrite(data, size, count, static_cast<std::FILE*>(user)) * size;
}

struct MemorySink {
  CURL* easy;
  std::string* body;
};

size_t writeToString(char* data, size_t size, size_t count, void* user) {
  auto* sink = static_cast<MemorySink*>(user);
  // Room for the whole announced body at the first piece, so a large catalogue is not copied again
  // each time the text outgrows its buffer.
  if (sink->body->empty()) {
    curl_off_t length = -1;
    if (curl_easy_getinfo(sink->easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length) == CURLE_OK && length > 0 &&
        length < (curl_off_t{1} << 31))
      sink->body->reserve(static_cast<size_t>(length));
  }
  sink->body->append(data, size * count);
  return size * count;
}

struct ProgressState {
  const ProgressCallback* callback = nullptr;
  uint64_t lastDone = 0;
  uint64_t lastTotal = 0;
  bool reported = false;
  std::chrono::steady_clock::time_point lastReport;

  // False asks for the transfer to end.
  bool report(uint64_t done, uint64_t total, bool force) {
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

int onTransferInfo(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t, curl_off_t) {
  auto* state = static_cast<ProgressState*>(user);
  const uint64_t done = dlNow > 0 ? static_cast<uint64_t>(dlNow) : 0;
  const uint64_t total = dlTotal > 0 ? static_cast<uint64_t>(dlTotal) : 0;
  return state->report(done, total, false) ? 0 : 1;
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

int32_t CurlDownloader::download(const std::string& url, const std::string& filePath,
                                 const ProgressCallback& progress) {
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
  char errorBuffer[CURL_ERROR_SIZE];
  setCommonOptions(easy.get(), url, limits_, errorBuffer);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToFile);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, temp.file.get());

  ProgressState state;
  if (progress) {
    state.callback = &progress;
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, onTransferInfo);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &state);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
  }

  const CURLcode code = curl_easy_perform(easy.get());
  long httpStatus = 0;
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &httpStatus);
  int32_t result = mapResult(code, httpStatus);

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

  if (result == dr::kOk && !files::renameReplacing(temp.path, filePath)) result = dr::kCannotWrite;
  if (result != dr::kOk) ::unlink(temp.path.c_str());
  return result;
}

MemoryFetch fetchToMemory(const std::string& url, const CurlLimits& limits) {
  MemoryFetch out;
  Easy easy(curl_easy_init());
  if (!easy) {
    out.errorText = "libcurl could not start a transfer";
    return out;
  }
  char errorBuffer[CURL_ERROR_SIZE];
  setCommonOptions(easy.get(), url, limits, errorBuffer);
  MemorySink sink{easy.get(), &out.body};
  curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, writeToString);
  curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &sink);
  const CURLcode code = curl_easy_perform(easy.get());
  curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &out.httpStatus);
  out.result = mapResult(code, out.httpStatus);
  if (out.result != dr::kOk) {
    out.errorText = describe(code, out.httpStatus, errorBuffer);
    out.body.clear();
  }
  return out;
}

}  // namespace qv::platform::headless
