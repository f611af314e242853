#include "platform/headless/headless_main_loop.h"

#include <algorithm>
#include <chrono>
#include <future>

#include "platform/error_boundary.h"
#include "platform/headless/headless_timer.h"

namespace qv::platform::headless {

HeadlessMainLoop::HeadlessMainLoop(Dialogs& dialogs) : dialogs_(dialogs), mainThread_(std::this_thread::get_id()) {}

void HeadlessMainLoop::run() {
  while (!quit_) {
    if (pump() == 0) {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, std::chrono::milliseconds(20), [&] { return !queue_.empty() || quit_; });
    }
  }
}

void HeadlessMainLoop::quit() {
  std::lock_guard lock(mutex_);
  quit_ = true;
  wake_.notify_all();
}

void HeadlessMainLoop::post(std::function<void()> call) {
  std::lock_guard lock(mutex_);
  queue_.push_back(std::move(call));
  wake_.notify_all();
}

void HeadlessMainLoop::invokeSync(std::function<void()> call) {
  if (onMainThread()) {
    call();
    return;
  }
  // The caller waits for the main thread; an error inside the call is the main thread's to report.
  auto done = std::make_shared<std::promise<void>>();
  std::future<void> finished = done->get_future();
  post([call = std::move(call), done] {
    struct Signal {
      std::shared_ptr<std::promise<void>> p;
      ~Signal() { p->set_value(); }
    } signal{done};
    call();
  });
  finished.wait();
}

int HeadlessMainLoop::pump() {
  int ran = 0;
  for (;;) {
    std::function<void()> call;
    {
      std::lock_guard lock(mutex_);
      if (queue_.empty()) break;
      call = std::move(queue_.front());
      queue_.pop_front();
    }
    runGuarded(dialogs_, call);
    ++ran;
  }
  return ran;
}

bool HeadlessMainLoop::pumpUntil(const std::function<bool()>& done, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    pump();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::unique_lock lock(mutex_);
    wake_.wait_for(lock, std::chrono::milliseconds(5), [&] { return !queue_.empty(); });
  }
}

void HeadlessMainLoop::advance(int milliseconds) {
  const long long target = now_ + milliseconds;
  for (;;) {
    pump();
    HeadlessTimer* next = nullptr;
    for (HeadlessTimer* t : timers_)
      if (t->enabled() && t->interval() > 0 && t->dueAt() <= target && (!next || t->dueAt() < next->dueAt())) next = t;
    if (!next) break;
    now_ = std::max(now_, next->dueAt());
    next->fire(now_);
  }
  now_ = target;
  pump();
}

bool HeadlessLoopMessage::targetsInside(const Control& control) const {
  return std::find(targets_.begin(), targets_.end(), &control) != targets_.end();
}

bool HeadlessMainLoop::deliver(const LoopMessage& message) {
  if (!filter_) return true;
  bool handled = false;
  runGuarded(dialogs_, [&] { handled = filter_(message); });
  return !handled;
}

void HeadlessMainLoop::registerTimer(HeadlessTimer* timer) { timers_.push_back(timer); }

void HeadlessMainLoop::unregisterTimer(HeadlessTimer* timer) {
  timers_.erase(std::remove(timers_.begin(), timers_.end(), timer), timers_.end());
}

}  // namespace qv::platform::headless
