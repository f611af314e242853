#include "platform/transfer_pace.h"

#include <algorithm>

namespace qv::platform {

TransferPace::TransferPace(const TransferBounds& bounds, Clock::time_point start)
    : minBytesPerSecond_(bounds.minBytesPerSecond),
      window_(bounds.rateWindow),
      deadline_(start + bounds.deadline) {}

bool TransferPace::ratesChecked() const {
  return minBytesPerSecond_ > 0 && window_.count() > 0;
}

void TransferPace::answered(Clock::time_point now) {
  if (answered_) return;
  answered_ = true;
  spanStart_ = now;
  spanStartBytes_ = lastBytes_;
}

TransferPace::Verdict TransferPace::check(uint64_t bytes, Clock::time_point now) {
  if (verdict_ != Verdict::Keeping) return verdict_;
  // Counts only ever grow; a report that says less changes nothing.
  lastBytes_ = std::max(lastBytes_, bytes);
  if (now >= deadline_) return verdict_ = Verdict::PastDeadline;
  if (!answered_ || !ratesChecked()) return verdict_;
  const auto span = now - spanStart_;
  if (span < window_) return verdict_;
  const double seconds = std::chrono::duration<double>(span).count();
  const double needed = static_cast<double>(minBytesPerSecond_) * seconds;
  if (static_cast<double>(lastBytes_ - spanStartBytes_) < needed) return verdict_ = Verdict::TooSlow;
  spanStart_ = now;
  spanStartBytes_ = lastBytes_;
  return verdict_;
}

TransferPace::Clock::time_point TransferPace::nextDecision() const {
  if (!answered_ || !ratesChecked()) return deadline_;
  return std::min(deadline_, spanStart_ + window_);
}

}  // namespace qv::platform
