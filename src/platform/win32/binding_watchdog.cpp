#include "platform/win32/binding_watchdog.h"

#include <algorithm>

namespace qv::platform::win32 {

BindingWatchdog::BindingWatchdog(const TransferBounds& bounds)
    : bounds_(bounds), pace_(bounds_), lastSign_(Clock::now()), thread_([this] { run(); }) {}

BindingWatchdog::~BindingWatchdog() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  thread_.join();
}

void BindingWatchdog::watch(IBinding* binding) {
  {
    std::lock_guard lock(mutex_);
    if (binding_ || binding == nullptr) return;
    binding_ = binding;
  }
  // A limit that ran out before the binding was known is acted on now.
  wake_.notify_all();
}

void BindingWatchdog::sign(Phase phase, uint64_t bytes) {
  bool phaseChanged;
  {
    std::lock_guard lock(mutex_);
    lastSign_ = Clock::now();
    phaseChanged = phase_ != phase;
    phase_ = phase;
    bytes_ = std::max(bytes_, bytes);
  }
  // A later sign only moves the deadline back, which the watching thread finds when its wait ends;
  // a new phase may bring it forward (a stall limit shorter than the connect limit).
  if (phaseChanged) wake_.notify_all();
}

void BindingWatchdog::answered() {
  {
    std::lock_guard lock(mutex_);
    pace_.answered();
  }
  // The rate floor's first decision is due one window from now; the thread may be waiting longer.
  wake_.notify_all();
}

bool BindingWatchdog::expired() const {
  std::lock_guard lock(mutex_);
  return expired_;
}

BindingWatchdog::Phase BindingWatchdog::phaseOf(ULONG statusCode) {
  switch (statusCode) {
    case BINDSTATUS_FINDINGRESOURCE:
    case BINDSTATUS_CONNECTING:
    case BINDSTATUS_REDIRECTING:
      return Phase::Connecting;
    default:
      return Phase::Connected;
  }
}

void BindingWatchdog::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (expired_) {
      if (binding_ && !aborted_) {
        aborted_ = true;
        // The member keeps the binding alive until the destructor, which joins this thread first;
        // the abort itself runs unlocked, as it may call back into the transfer's callback.
        IBinding* binding = binding_.Get();
        lock.unlock();
        binding->Abort();
        lock.lock();
        continue;
      }
      wake_.wait(lock);
      continue;
    }
    const auto limit = phase_ == Phase::Connecting ? bounds_.connect : bounds_.silence;
    const Clock::time_point now = Clock::now();
    if (now >= lastSign_ + limit || pace_.check(bytes_, now) != TransferPace::Verdict::Keeping) {
      expired_ = true;
      continue;
    }
    wake_.wait_until(lock, std::min(lastSign_ + limit, pace_.nextDecision()));
  }
}

}  // namespace qv::platform::win32
