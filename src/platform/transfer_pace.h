#pragma once
// The time bounds of one transfer that a downloader keeps itself: its deadline, from the start, and
// its minimum average rate, from the server's answer on (see TransferBounds). The downloader feeds it
// the bytes so far whenever it hears of the transfer, and at least every second or so while it hears
// nothing; once a bound is broken it stays broken.
//
// The rate is checked over consecutive spans of the window: at the end of each span the bytes that
// arrived in it must reach the rate times the span's length. A span ends at the first report after
// the window has passed, so a report that comes late measures a longer span against its own length.
//
// Not thread-safe: one caller at a time (the downloaders hold it under their own lock).
#include <chrono>
#include <cstdint>

#include "platform/url_download.h"

namespace qv::platform {

class TransferPace {
 public:
  using Clock = std::chrono::steady_clock;

  enum class Verdict { Keeping, TooSlow, PastDeadline };

  explicit TransferPace(const TransferBounds& bounds, Clock::time_point start = Clock::now());

  // The server's answer has begun (its status line or headers): the rate is counted from here. Only
  // the first call counts.
  void answered(Clock::time_point now = Clock::now());
  // Bytes of the body so far at `now`; the verdict, which stays once it is not Keeping.
  Verdict check(uint64_t bytes, Clock::time_point now = Clock::now());
  bool broken() const { return verdict_ != Verdict::Keeping; }
  Verdict verdict() const { return verdict_; }

  // When check() next has something to decide, for a watcher that waits between reports.
  Clock::time_point nextDecision() const;

 private:
  bool ratesChecked() const;

  uint64_t minBytesPerSecond_;
  std::chrono::milliseconds window_;
  Clock::time_point deadline_;
  bool answered_ = false;
  Clock::time_point spanStart_{};
  uint64_t spanStartBytes_ = 0;
  uint64_t lastBytes_ = 0;
  Verdict verdict_ = Verdict::Keeping;
};

}  // namespace qv::platform
