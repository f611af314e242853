#pragma once
// WorkerGate: stands between download workers and the program around them, the main loop they hand
// progress to and the completion and failure handlers they call. While open it passes every call on.
// close() shuts it and waits, turning the main loop, for the calls already through to return (a
// progress hand-off waits for the main thread); after that nothing passes. So a worker that outlives
// the wait of the pool that made it reaches nothing of the program that goes away after the pool.
#include <functional>
#include <mutex>

#include "platform/main_loop.h"

namespace qv::download {

class WorkerGate final : public platform::MainLoop {
 public:
  explicit WorkerGate(platform::MainLoop& loop) : loop_(loop) {}

  // Workers only hand calls over; running and quitting the loop stay with its owner.
  void run() override {}
  void quit() override {}
  void processMessages() override {}
  void post(std::function<void()> call) override;
  void invokeSync(std::function<void()> call) override;

  // The handler, called only while the gate is open. An empty handler stays empty, so a worker
  // missing one still stays suspended.
  template <class... Args>
  std::function<void(Args...)> guard(std::function<void(Args...)> handler) {
    if (!handler) return {};
    return [this, handler = std::move(handler)](Args... args) {
      Pass pass(*this);
      if (pass) handler(args...);
    };
  }

  // Main thread only.
  void close();
  bool closed() const;

 private:
  // One call through the gate, counted while it runs so close() can wait for it.
  class Pass {
   public:
    explicit Pass(WorkerGate& gate);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    explicit operator bool() const { return open_; }

   private:
    WorkerGate& gate_;
    bool open_;
  };

  platform::MainLoop& loop_;
  mutable std::mutex mutex_;
  bool closed_ = false;
  int inside_ = 0;
};

}  // namespace qv::download
