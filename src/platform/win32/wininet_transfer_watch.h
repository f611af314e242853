#pragma once
// The bounds and the progress reports of one WinINet transfer, kept by the thread that makes it. It
// waits for each operation of its request (wininet_request.h) only until the first limit that could
// run out: the connect limit while no connection stands, the silence limit once one does (counted
// from WinINet's last sign of the connection or the body's last piece), and the rate floor and the
// deadline of TransferPace. Between the pieces of a body that flows without waiting it looks at the
// rate and the deadline at each piece.
//
// Progress reports go as the headless build's do: at each change, and every half second while
// nothing changes (waits included), so the caller can answer abort even while the server is quiet.
#include <chrono>
#include <cstdint>

#include "platform/transfer_pace.h"
#include "platform/url_download.h"
#include "platform/win32/wininet_request.h"

namespace qv::platform::win32 {

class TransferWatch {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Stop { None, TimedOut, Aborted };
  static constexpr std::chrono::milliseconds kReportEvery{500};

  // Starts the clock. `progress` may be empty; it must outlive the watch.
  TransferWatch(const TransferBounds& bounds, const ProgressCallback& progress);

  // The answer's head is in: the rate floor counts from here, the silence limit applies.
  void answered();
  // The body's announced length (0 for none): the total of the reports from now on.
  void expect(uint64_t total) { total_ = total; }
  // Waits for the operation of `request` that started pending. None once it has ended (with its
  // outcome in `error`); TimedOut when a limit ran out first, Aborted when a report was answered so.
  Stop await(WinInetRequest& request, DWORD& error);
  // A piece of the body has been written: `bytes` so far.
  Stop arrived(uint64_t bytes);
  // The whole body is in: the last report (bytes of bytes), unless it was already shown. False when
  // it was answered with abort.
  bool finished(uint64_t bytes);

 private:
  Clock::time_point quietUntil(const WinInetRequest::Signs& signs) const;
  bool overdue(const WinInetRequest::Signs& signs, Clock::time_point now);
  // False when the callback asks for the end (or throws). Unforced, an unchanged report waits for
  // kReportEvery to pass.
  bool report(bool force);

  const TransferBounds& bounds_;
  const ProgressCallback& progress_;
  TransferPace pace_;
  bool answered_ = false;
  uint64_t bytes_ = 0;
  uint64_t total_ = 0;
  Clock::time_point lastPiece_;
  bool reported_ = false;
  uint64_t reportedDone_ = 0;
  uint64_t reportedTotal_ = 0;
  Clock::time_point lastReport_{};
};

}  // namespace qv::platform::win32
