#include "platform/win32/wininet_request.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

// Shared between the request's owner and WinINet's threads (the status callback), under `mutex`.
struct WinInetRequest::State {
  std::mutex mutex;
  UniqueHandle completed{::CreateEventW(nullptr, FALSE, FALSE, nullptr)};  // set at each completion
  uint64_t completions = 0;
  DWORD error = ERROR_SUCCESS;  // of the last operation that completed
  Signs signs{Clock::now(), false};
  // Written by WinINet, also when an operation completes after the owner has gone.
  std::vector<char> buffer = std::vector<char>(kPieceSize);
  DWORD available = 0;
  DWORD got = 0;
  // WinINet's hold on the state: from the request handle's creation until its last callback.
  std::shared_ptr<State> self;
};

namespace {

DWORD clampedMilliseconds(std::chrono::milliseconds value) {
  return static_cast<DWORD>(std::clamp<long long>(value.count(), 1, 0x7FFFFFFF));
}

}  // namespace

WinInetSession::WinInetSession() {
  // No agent name: the request carries no User-Agent, as the headless build's transfers do not.
  handle_ = ::InternetOpenW(nullptr, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, INTERNET_FLAG_ASYNC);
  if (handle_ == nullptr) return;
  // Every handle opened under the session from now on reports through this callback.
  if (::InternetSetStatusCallbackW(handle_, &WinInetRequest::onStatus) == INTERNET_INVALID_STATUS_CALLBACK) {
    ::InternetCloseHandle(handle_);
    handle_ = nullptr;
  }
}

WinInetSession::~WinInetSession() {
  if (handle_ != nullptr) ::InternetCloseHandle(handle_);
}

void CALLBACK WinInetRequest::onStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info,
                                       DWORD length) {
  auto* state = reinterpret_cast<State*>(context);
  if (state == nullptr) return;  // the connection handles, which carry no context
  switch (status) {
    case INTERNET_STATUS_REQUEST_COMPLETE: {
      // dwResult is the operation's BOOL (a count, for some WinINets' queries, which may be 0 at the
      // end of the body); dwError tells a failure either way.
      DWORD error = ERROR_INTERNET_INTERNAL_ERROR;
      if (info != nullptr && length >= sizeof(INTERNET_ASYNC_RESULT)) {
        const auto* result = static_cast<const INTERNET_ASYNC_RESULT*>(info);
        error = result->dwResult != 0 ? ERROR_SUCCESS : result->dwError;
      }
      {
        std::lock_guard lock(state->mutex);
        ++state->completions;
        state->error = error;
      }
      ::SetEvent(state->completed.get());
      return;
    }
    case INTERNET_STATUS_HANDLE_CLOSING: {
      // The last callback of the handle: WinINet's hold goes, and with the owner's gone too, the state.
      std::shared_ptr<State> last;
      std::lock_guard lock(state->mutex);
      last.swap(state->self);
      return;  // `last` is released after the lock
    }
    case INTERNET_STATUS_RESOLVING_NAME:
    case INTERNET_STATUS_CONNECTING_TO_SERVER:
    case INTERNET_STATUS_REDIRECT: {
      std::lock_guard lock(state->mutex);
      state->signs = {Clock::now(), false};
      return;
    }
    // A request goes out only on a connection that stands (a kept one reports no connecting).
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
    case INTERNET_STATUS_SENDING_REQUEST:
    case INTERNET_STATUS_REQUEST_SENT:
    case INTERNET_STATUS_RESPONSE_RECEIVED: {
      std::lock_guard lock(state->mutex);
      state->signs = {Clock::now(), true};
      return;
    }
    default:
      return;
  }
}

WinInetRequest::WinInetRequest(HINTERNET session) : session_(session), state_(std::make_shared<State>()) {}

WinInetRequest::~WinInetRequest() {
  close();
}

void WinInetRequest::close() {
  // An operation still under way is cancelled; whatever WinINet does with it later reaches the state
  // only, which its hold keeps.
  if (request_ != nullptr) ::InternetCloseHandle(request_);
  if (connection_ != nullptr) ::InternetCloseHandle(connection_);
  request_ = connection_ = nullptr;
}

DWORD WinInetRequest::open(const std::wstring& host, INTERNET_PORT port, const std::wstring& object,
                           DWORD flags) {
  if (session_ == nullptr || !state_->completed.valid()) return ERROR_INTERNET_INTERNAL_ERROR;
  connection_ =
      ::InternetConnectW(session_, host.c_str(), port, nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 0);
  if (connection_ == nullptr) return ::GetLastError();
  {
    std::lock_guard lock(state_->mutex);
    state_->self = state_;
  }
  request_ = ::HttpOpenRequestW(connection_, L"GET", object.c_str(), nullptr, nullptr, nullptr, flags,
                                reinterpret_cast<DWORD_PTR>(state_.get()));
  if (request_ != nullptr) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  std::lock_guard lock(state_->mutex);
  state_->self.reset();  // no handle, so no callback will release it
  return error;
}

DWORD WinInetRequest::setTimeout(DWORD option, std::chrono::milliseconds value) {
  DWORD ms = clampedMilliseconds(value);
  return ::InternetSetOptionW(request_, option, &ms, sizeof ms) ? ERROR_SUCCESS : ::GetLastError();
}

DWORD WinInetRequest::addHeader(const std::wstring& line) {
  return ::HttpAddRequestHeadersW(request_, line.c_str(), static_cast<DWORD>(line.size()),
                                  HTTP_ADDREQ_FLAG_ADD | HTTP_ADDREQ_FLAG_REPLACE)
             ? ERROR_SUCCESS
             : ::GetLastError();
}

namespace {
// The outcome of an operation's start: done, pending (counted) or failed.
DWORD started(BOOL ok, uint64_t& pending) {
  if (ok) return ERROR_SUCCESS;
  const DWORD error = ::GetLastError();
  if (error == ERROR_IO_PENDING) ++pending;
  return error;
}
}  // namespace

DWORD WinInetRequest::send() {
  return started(::HttpSendRequestW(request_, nullptr, 0, nullptr, 0), started_);
}

DWORD WinInetRequest::queryAvailable(DWORD& count) {
  const DWORD result = started(::InternetQueryDataAvailable(request_, &state_->available, 0, 0), started_);
  count = result == ERROR_SUCCESS ? state_->available : 0;
  return result;
}

DWORD WinInetRequest::read(DWORD size) {
  state_->got = 0;
  return started(
      ::InternetReadFile(request_, state_->buffer.data(), std::min(size, kPieceSize), &state_->got),
      started_);
}

const char* WinInetRequest::data() const {
  return state_->buffer.data();
}

DWORD WinInetRequest::got() const {
  return std::min(state_->got, kPieceSize);
}

bool WinInetRequest::wait(std::chrono::milliseconds timeout, DWORD& error) {
  const auto until = Clock::now() + timeout;
  for (;;) {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->completions >= started_) {
        error = state_->error;
        return true;
      }
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return false;
    ::WaitForSingleObject(state_->completed.get(), clampedMilliseconds(left));
  }
}

WinInetRequest::Signs WinInetRequest::signs() const {
  std::lock_guard lock(state_->mutex);
  return state_->signs;
}

}  // namespace qv::platform::win32
