#include "platform/win32/wininet_body_fetch.h"

#include <optional>

#include "platform/url_escape.h"
#include "platform/win32/body_file_win32.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wininet_transfer_watch.h"

namespace qv::platform::win32 {

namespace {

namespace dr = download_result;
using namespace std::chrono_literals;

// Every request asks the server itself, keeps nothing in the cache, sends no cookie and never puts
// up a dialog; the connection goes back to the pool when the answer has been read whole.
constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                                INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_KEEP_CONNECTION;

// WinINet's own limits, a little past ours: ours decide, and its connections do not outlive them long.
constexpr std::chrono::milliseconds kPlatformSlack = 1s;

// A header value longer than this is no validator or length of any server we talk to.
constexpr DWORD kMaxHeaderChars = 8192;

// Wine's WinINet passes a socket's time-out on as the socket's own error (WSAETIMEDOUT).
constexpr DWORD kSocketTimedOut = 10060;

// Where a URL leads, in WinINet's terms.
struct Target {
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring object;  // path and query
  bool secure = false;
};

std::optional<Target> targetOf(const std::string& url) {
  const std::wstring wire = toWide(escapeUrlForWire(url));
  URL_COMPONENTSW parts{};
  parts.dwStructSize = sizeof parts;
  // Non-zero lengths with no buffers: the parts come back as pointers into `wire`.
  parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = 1;
  if (!::InternetCrackUrlW(wire.c_str(), static_cast<DWORD>(wire.size()), 0, &parts)) return std::nullopt;
  if ((parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) ||
      parts.lpszHostName == nullptr || parts.dwHostNameLength == 0)
    return std::nullopt;
  Target target;
  target.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  target.port = parts.nPort;
  target.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  if (parts.lpszUrlPath != nullptr) target.object.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  if (parts.lpszExtraInfo != nullptr) target.object.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  // The fragment is the client's own and never goes on the wire.
  target.object.erase(std::min(target.object.find(L'#'), target.object.size()));
  if (target.object.empty() || target.object[0] != L'/') target.object.insert(0, L"/");
  return target;
}

// One "Name: value" line: a line break inside it would add a header of its own.
bool isHeaderLine(const std::string& line) {
  const size_t colon = line.find(':');
  return colon != 0 && colon != std::string::npos &&
         line.find_first_of(std::string("\r\n\0", 3)) == std::string::npos;
}

int32_t resultOf(DWORD error) {
  switch (error) {
    case ERROR_SUCCESS:
      return dr::kOk;
    case ERROR_INTERNET_TIMEOUT:
    case kSocketTimedOut:
      return dr::kTimedOut;
    case ERROR_INTERNET_NAME_NOT_RESOLVED:
      return dr::kNotFound;
    case ERROR_INTERNET_CANNOT_CONNECT:
      return dr::kCannotConnect;
    case ERROR_INTERNET_INVALID_URL:
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME:
      return dr::kFailed;
    // A peer that cannot prove it is the server: nothing it sends is the server's, its head included,
    // so the transfer is refused (no flag ever lets WinINet overlook it). kFailed rather than
    // kDownloadFailure: no answer came, and trying again in a moment mends nothing.
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID:
    case ERROR_INTERNET_SEC_CERT_ERRORS:
    case ERROR_INTERNET_SEC_CERT_NO_REV:
    case ERROR_INTERNET_SEC_CERT_REV_FAILED:
    case ERROR_INTERNET_SEC_CERT_REVOKED:
    case ERROR_INTERNET_SEC_INVALID_CERT:
    case ERROR_INTERNET_SECURITY_CHANNEL_ERROR:
    case ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED:
      return dr::kFailed;
    default:
      return dr::kDownloadFailure;
  }
}

enum class HeaderRead { Absent, Read, TooLong };

// The value of one header of the answer (the `index`th of that name).
HeaderRead headerOf(HINTERNET request, DWORD query, std::string& value, DWORD index = 0) {
  value.clear();
  std::wstring text(256, L'\0');
  for (;;) {
    DWORD bytes = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    DWORD at = index;
    if (::HttpQueryInfoW(request, query, text.data(), &bytes, &at)) {
      text.resize(bytes / sizeof(wchar_t));
      value = toUtf8(text);
      return HeaderRead::Read;
    }
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return HeaderRead::Absent;
    if (bytes / sizeof(wchar_t) > kMaxHeaderChars || bytes / sizeof(wchar_t) < text.size())
      return HeaderRead::TooLong;
    text.resize(bytes / sizeof(wchar_t) + 1);
  }
}

// A Content-Length value: digits only (blanks around them aside); a number past what fits is past
// every cap, so it stays the largest there is.
bool parseLength(const std::string& text, int64_t& length) {
  const size_t first = text.find_first_not_of(" \t");
  const size_t last = text.find_last_not_of(" \t");
  if (first == std::string::npos) return false;
  length = 0;
  for (size_t i = first; i <= last; ++i) {
    if (text[i] < '0' || text[i] > '9') return false;
    const int digit = text[i] - '0';
    length = length > (INT64_MAX - digit) / 10 ? INT64_MAX : length * 10 + digit;
  }
  return true;
}

// Answers that carry no body, whatever their headers say.
bool hasNoBody(int status) {
  return status < 200 || status == 204 || status == 205 || status == 304;
}

// One fetch, from the request to the closed body file.
class BodyTransfer {
 public:
  BodyTransfer(HINTERNET session, const BodyRequest& request, const ProgressCallback& progress)
      : request_(request), http_(session), watch_(request.bounds, progress) {}

  BodyAnswer run() {
    answer_.result = send();
    if (answer_.result == dr::kOk) answer_.result = readHead();
    if (answer_.result != dr::kOk) return answer_;
    BodyPlacement placement = BodyPlacement::Refuse;
    try {
      placement = request_.checkHead(answer_.head);
    } catch (...) {
      placement = BodyPlacement::Refuse;
    }
    if (placement == BodyPlacement::Refuse) {
      answer_.result = dr::kNotAccepted;
    } else if (!hasNoBody(answer_.head.status)) {
      answer_.result = placeBody(placement == BodyPlacement::Append);
    }
    return answer_;
  }

 private:
  // The result of an operation that started with `started`, once it has ended.
  int32_t complete(DWORD started) {
    if (started != WinInetRequest::kPending) return resultOf(started);
    DWORD error = ERROR_SUCCESS;
    switch (watch_.await(http_, error)) {
      case TransferWatch::Stop::TimedOut:
        return dr::kTimedOut;
      case TransferWatch::Stop::Aborted:
        return dr::kAborted;
      case TransferWatch::Stop::None:
        break;
    }
    return resultOf(error);
  }

  // Opens the request, sends it and waits for the answer's head.
  int32_t send() {
    const std::optional<Target> target = targetOf(request_.url);
    if (!target) return dr::kFailed;
    for (const std::string& line : request_.headers)
      if (!isHeaderLine(line)) return dr::kFailed;
    const DWORD flags = kRequestFlags | (target->secure ? INTERNET_FLAG_SECURE : 0);
    if (const DWORD error = http_.open(target->host, target->port, target->object, flags))
      return resultOf(error);
    const TransferBounds& bounds = request_.bounds;
    http_.setTimeout(INTERNET_OPTION_CONNECT_TIMEOUT, bounds.connect + kPlatformSlack);
    http_.setTimeout(INTERNET_OPTION_RECEIVE_TIMEOUT, bounds.silence + kPlatformSlack);
    http_.setTimeout(INTERNET_OPTION_SEND_TIMEOUT, bounds.silence + kPlatformSlack);
    for (const std::string& line : request_.headers)
      if (http_.addHeader(toWide(line)) != ERROR_SUCCESS) return dr::kFailed;
    return complete(http_.send());
  }

  // The head of the final answer; the result its status gives.
  int32_t readHead() {
    watch_.answered();
    AnswerHead& head = answer_.head;
    const HINTERNET request = http_.handle();
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
      status = 0;
    head.status = static_cast<int>(std::min<DWORD>(status, 999));
    // A value too long to be one is dropped: the caller sees an answer without it.
    headerOf(request, HTTP_QUERY_ETAG, head.etag);
    headerOf(request, HTTP_QUERY_LAST_MODIFIED, head.lastModified);
    headerOf(request, HTTP_QUERY_CONTENT_RANGE, head.contentRange);
    // No status: the server hung up without an answer (WinINet then shows status 0).
    if (head.status < 100) return dr::kDownloadFailure;
    if (head.status >= 400)
      return head.status == 404 || head.status == 410 ? dr::kNotFound : dr::kDownloadFailure;
    // An answer without a body is taken whatever length it names (a 304 may name the resource's).
    const int32_t length = readLength();
    return hasNoBody(head.status) ? dr::kOk : length;
  }

  // The announced length. A chunked body is measured by its chunks, whatever length it announces
  // beside them; a length that is no number, or two that differ, leave the body's end unknown, and
  // such an answer is no answer to take.
  int32_t readLength() {
    const HINTERNET request = http_.handle();
    std::string text;
    if (headerOf(request, HTTP_QUERY_TRANSFER_ENCODING, text) != HeaderRead::Absent) return dr::kOk;
    const HeaderRead read = headerOf(request, HTTP_QUERY_CONTENT_LENGTH, text);
    if (read == HeaderRead::Absent) return dr::kOk;
    int64_t length = -1;
    if (read == HeaderRead::TooLong || !parseLength(text, length)) return dr::kDownloadFailure;
    std::string second;
    int64_t other = -1;
    if (headerOf(request, HTTP_QUERY_CONTENT_LENGTH, second, 1) != HeaderRead::Absent &&
        (!parseLength(second, other) || other != length))
      return dr::kDownloadFailure;
    answer_.head.contentLength = length;
    return dr::kOk;
  }

  // Writes the body into the body file as placed: after what it holds, or in its place.
  int32_t placeBody(bool append) {
    BodyFile file;
    if (!file.open(request_.bodyPath)) return dr::kCannotWrite;
    const uint64_t cap = request_.bounds.maxBytes;
    const uint64_t held = append ? file.size() : 0;
    const uint64_t room = held < cap ? cap - held : 0;
    const int64_t announced = answer_.head.contentLength;
    // A body announced past the room is refused before the file is touched.
    if (announced >= 0 && static_cast<uint64_t>(announced) > room) return dr::kTooLarge;
    if (!(append ? file.toEnd() : file.restart())) return dr::kCannotWrite;
    int32_t result = readBody(file, room);
    if (!file.close() && result == dr::kOk) result = dr::kCannotWrite;
    if (result == dr::kOk && !watch_.finished(answer_.bodyBytes)) result = dr::kAborted;
    return result;
  }

  int32_t readBody(BodyFile& file, uint64_t room) {
    const int64_t announced = answer_.head.contentLength;
    watch_.expect(announced >= 0 ? static_cast<uint64_t>(announced) : 0);
    uint64_t& written = answer_.bodyBytes;
    for (;;) {
      DWORD available = 0;
      const DWORD query = http_.queryAvailable(available);
      if (query == WinInetRequest::kPending) {
        // Something has come (or the end): asked again, the query tells how much at once.
        if (const int32_t result = complete(query)) return result;
        continue;
      }
      if (query != ERROR_SUCCESS) return resultOf(query);
      if (available == 0) break;
      if (const int32_t result = complete(http_.read(available))) return result;
      const DWORD got = http_.got();
      if (got == 0) break;
      // The piece that would take the file past its cap is not written.
      if (got > room - written) return dr::kTooLarge;
      if (!file.write(http_.data(), got)) return dr::kCannotWrite;
      written += got;
      switch (watch_.arrived(written)) {
        case TransferWatch::Stop::TimedOut:
          return dr::kTimedOut;
        case TransferWatch::Stop::Aborted:
          return dr::kAborted;
        case TransferWatch::Stop::None:
          break;
      }
    }
    // The connection ended before the announced length: a cut body, kept as far as it came.
    if (announced >= 0 && written < static_cast<uint64_t>(announced)) return dr::kDownloadFailure;
    return dr::kOk;
  }

  const BodyRequest& request_;
  WinInetRequest http_;
  TransferWatch watch_;
  BodyAnswer answer_;
};

}  // namespace

BodyAnswer WinInetBodyFetcher::fetchBody(const BodyRequest& request, const ProgressCallback& progress) {
  if (!request.checkHead || session_.get() == nullptr) return BodyAnswer{};
  // The session is all this object gives the transfer, read once here.
  return BodyTransfer(session_.get(), request, progress).run();
}

}  // namespace qv::platform::win32
