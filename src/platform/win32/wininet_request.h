#pragma once
// One HTTP request on an asynchronous WinINet session, whose operations the calling thread starts and
// then waits for itself, each wait as long as it likes.
//
// Why asynchronous: a synchronous WinINet call cannot be cut short from outside under Wine (8.0,
// tried). Closing the request handle from another thread returns at once, but the blocked
// InternetReadFile or HttpSendRequestW goes on until the server sends or hangs up (30 s in the trial),
// and a connection that never stands is given up only when the system's own SYN retries end (133 s),
// whatever INTERNET_OPTION_CONNECT_TIMEOUT says. With the session asynchronous, an operation that has
// to wait returns ERROR_IO_PENDING and reports its end through the status callback; the thread that
// started it waits on an event for as long as its bounds allow and, when they run out, closes the
// handle itself and goes. Nothing of the transfer's is then left for WinINet to reach but this
// request's own state, which lives until WinINet has let go of the handle (HANDLE_CLOSING).
//
// The state also holds the memory a late completion writes into: the read buffer and the counts.
// The status callback never reaches anything but that state, so a request whose owner has long
// returned (a server that keeps a cut connection open) touches nothing that is gone.
//
// One thread uses a request at a time, one operation at a time; any number of requests share one
// session at once.
#include <windows.h>
#include <wininet.h>

#include <chrono>
#include <memory>
#include <string>

namespace qv::platform::win32 {

// The session every request of one fetcher shares: asynchronous, with the status callback of the
// requests. Closing it does not wait for requests WinINet still holds.
class WinInetSession {
 public:
  WinInetSession();
  ~WinInetSession();
  WinInetSession(const WinInetSession&) = delete;
  WinInetSession& operator=(const WinInetSession&) = delete;
  // Null when WinINet could not open a session.
  HINTERNET get() const { return handle_; }

 private:
  HINTERNET handle_ = nullptr;
};

class WinInetRequest {
 public:
  using Clock = std::chrono::steady_clock;
  // An operation that has started and ends later: wait() for it.
  static constexpr DWORD kPending = ERROR_IO_PENDING;
  // The most read() takes at once.
  static constexpr DWORD kPieceSize = 64 * 1024;

  // What WinINet last told of the connection: when, and whether one stood by then (a request sent or
  // an answer arriving) or a server was still being looked up, connected to or redirected to.
  struct Signs {
    Clock::time_point last;
    bool connected = false;
  };

  explicit WinInetRequest(HINTERNET session);
  // Closes the request, whether or not an operation is still under way.
  ~WinInetRequest();
  WinInetRequest(const WinInetRequest&) = delete;
  WinInetRequest& operator=(const WinInetRequest&) = delete;

  // A GET of `object` (path and query) on host:port with these HttpOpenRequestW flags. The results
  // here and below: ERROR_SUCCESS, kPending, or WinINet's error.
  DWORD open(const std::wstring& host, INTERNET_PORT port, const std::wstring& object, DWORD flags);
  HINTERNET handle() const { return request_; }
  DWORD setTimeout(DWORD option, std::chrono::milliseconds value);
  DWORD addHeader(const std::wstring& line);
  DWORD send();
  // How much of the body can be read now without waiting; 0 at its end. When the query had to wait,
  // ask again once it has ended.
  DWORD queryAvailable(DWORD& count);
  // Reads at most `size` bytes (and at most kPieceSize) into the request's buffer, which holds them
  // until the next read: data() and got(), once the read has ended. Asked for no more than
  // queryAvailable() told, it does not wait.
  DWORD read(DWORD size);
  const char* data() const;
  DWORD got() const;

  // Waits up to `timeout` for the operation that started pending; true once it has ended, with its
  // outcome in `error`.
  bool wait(std::chrono::milliseconds timeout, DWORD& error);
  Signs signs() const;

 private:
  friend class WinInetSession;  // installs the callback
  struct State;
  static void CALLBACK onStatus(HINTERNET handle, DWORD_PTR context, DWORD status, LPVOID info, DWORD length);
  void close();

  HINTERNET session_;
  HINTERNET connection_ = nullptr;
  HINTERNET request_ = nullptr;
  std::shared_ptr<State> state_;
  uint64_t started_ = 0;  // operations that started pending
};

}  // namespace qv::platform::win32
