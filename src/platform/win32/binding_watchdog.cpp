#include "platform/win32/binding_watchdog.h"

#include <algorithm>

namespace qv::platform::win32 {

namespace {
uint64_t sizeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}
}  // namespace

BindingWatchdog::BindingWatchdog(const TransferBounds& bounds, std::wstring temporaryFile)
    : bounds_(bounds),
      temporaryFile_(std::move(temporaryFile)),
      pace_(bounds_),
      lastSign_(Clock::now()),
      thread_([this] { run(); }) {}

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

void BindingWatchdog::watchFile(std::wstring path) {
  std::lock_guard lock(mutex_);
  cacheFile_ = std::move(path);
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
  // a new phase may bring it forward (a silence limit shorter than the connect limit).
  if (phaseChanged) wake_.notify_all();
}

void BindingWatchdog::answered() {
  std::lock_guard lock(mutex_);
  pace_.answered();
}

void BindingWatchdog::stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_all();
}

bool BindingWatchdog::expired() const {
  std::lock_guard lock(mutex_);
  return expired_;
}

bool BindingWatchdog::overCap() const {
  std::lock_guard lock(mutex_);
  return overCap_;
}

std::wstring BindingWatchdog::cacheFile() const {
  std::lock_guard lock(mutex_);
  return cacheFile_;
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

uint64_t BindingWatchdog::measure(const std::wstring& cacheFile) const {
  return std::max(sizeOf(temporaryFile_), sizeOf(cacheFile));
}

void BindingWatchdog::run() {
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    if (expired_ || overCap_ || stopRequested_) {
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
    // The files are measured unlocked: the callback must not wait for the disk.
    const std::wstring cacheFile = cacheFile_;
    lock.unlock();
    const uint64_t written = measure(cacheFile);
    lock.lock();
    const Clock::time_point now = Clock::now();
    if (written > bytes_) {
      bytes_ = written;
      lastSign_ = now;
      phase_ = Phase::Connected;
    }
    if (bytes_ > bounds_.maxBytes) {
      overCap_ = true;
      continue;
    }
    const auto limit = phase_ == Phase::Connecting ? bounds_.connect : bounds_.silence;
    if (now >= lastSign_ + limit || pace_.check(bytes_, now) != TransferPace::Verdict::Keeping) {
      expired_ = true;
      continue;
    }
    wake_.wait_until(lock, std::min({lastSign_ + limit, pace_.nextDecision(), now + kMeasureEvery}));
  }
}

}  // namespace qv::platform::win32
