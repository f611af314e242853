#include "platform/win32/wininet_transfer_watch.h"

#include <algorithm>

namespace qv::platform::win32 {

TransferWatch::TransferWatch(const TransferBounds& bounds, const ProgressCallback& progress)
    : bounds_(bounds), progress_(progress), pace_(bounds), lastPiece_(Clock::now()) {}

void TransferWatch::answered() {
  answered_ = true;
  pace_.answered();
}

TransferWatch::Clock::time_point TransferWatch::quietUntil(const WinInetRequest::Signs& signs) const {
  const auto last = std::max(signs.last, lastPiece_);
  return last + (answered_ || signs.connected ? bounds_.silence : bounds_.connect);
}

bool TransferWatch::overdue(const WinInetRequest::Signs& signs, Clock::time_point now) {
  return now >= quietUntil(signs) || pace_.check(bytes_, now) != TransferPace::Verdict::Keeping;
}

TransferWatch::Stop TransferWatch::await(WinInetRequest& request, DWORD& error) {
  for (;;) {
    const auto now = Clock::now();
    const WinInetRequest::Signs signs = request.signs();
    if (overdue(signs, now)) return Stop::TimedOut;
    if (!report(false)) return Stop::Aborted;
    auto until = std::min(quietUntil(signs), pace_.nextDecision());
    if (progress_) until = std::min(until, lastReport_ + kReportEvery);
    const auto wait = std::max(std::chrono::milliseconds(1),
                               std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now()));
    if (request.wait(wait, error)) return Stop::None;
  }
}

TransferWatch::Stop TransferWatch::arrived(uint64_t bytes) {
  const auto now = Clock::now();
  bytes_ = bytes;
  lastPiece_ = now;
  if (pace_.check(bytes_, now) != TransferPace::Verdict::Keeping) return Stop::TimedOut;
  return report(false) ? Stop::None : Stop::Aborted;
}

bool TransferWatch::finished(uint64_t bytes) {
  bytes_ = bytes;
  total_ = bytes;
  if (reported_ && reportedDone_ == bytes && reportedTotal_ == bytes) return true;
  return report(true);
}

bool TransferWatch::report(bool force) {
  if (!progress_) return true;
  const auto now = Clock::now();
  const bool changed = !reported_ || bytes_ != reportedDone_ || total_ != reportedTotal_;
  if (!force && !changed && now - lastReport_ < kReportEvery) return true;
  reported_ = true;
  reportedDone_ = bytes_;
  reportedTotal_ = total_;
  lastReport_ = now;
  // No exception goes back through the transfer: a throwing callback ends it like an abort.
  try {
    return progress_(bytes_, total_);
  } catch (...) {
    return false;
  }
}

}  // namespace qv::platform::win32
