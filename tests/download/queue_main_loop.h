#pragma once
// A main loop for tests: calls from other threads wait in a queue until the test thread pumps it,
// as the window system's queue makes workers wait for the real main thread.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

#include "platform/main_loop.h"

namespace qv::test {

class QueueMainLoop : public platform::MainLoop {
 public:
  std::thread::id mainThread() const { return main_; }

  void run() override {
    while (!quit_) pumpFor(std::chrono::milliseconds(10));
  }
  void quit() override { quit_ = true; }

  void post(std::function<void()> call) override {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(call));
    wake_.notify_all();
  }

  void invokeSync(std::function<void()> call) override {
    if (std::this_thread::get_id() == main_) {
      call();
      return;
    }
    std::promise<void> done;
    auto finished = done.get_future();
    post([&] {
      call();
      done.set_value();
    });
    finished.wait();
  }

  void processMessages() override {
    std::deque<std::function<void()>> now;
    {
      std::lock_guard lock(mutex_);
      now.swap(queue_);
    }
    for (auto& c : now) c();
  }

  // Pumps until `done` holds or the time is up; false on time-out.
  template <class Pred>
  bool pumpUntil(Pred done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      pumpFor(std::chrono::milliseconds(5));
    }
    return true;
  }

 private:
  void pumpFor(std::chrono::milliseconds wait) {
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, wait, [this] { return !queue_.empty(); });
    }
    processMessages();
  }

  std::thread::id main_ = std::this_thread::get_id();
  bool quit_ = false;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
};

}  // namespace qv::test
