#pragma once
// The headless main loop: posted calls wait in a queue until the test pumps them on its thread, calls
// from workers wait until the main thread has run them, and time is virtual: timers fire only when the
// test advances the clock.
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/dialogs.h"
#include "platform/main_loop.h"
#include "platform/ui.h"

namespace qv::platform::headless {

class HeadlessTimer;

// A window message as a test sends it: its number and the window it is for, given as that control and
// the controls it lies inside (innermost first).
class HeadlessLoopMessage : public LoopMessage {
 public:
  HeadlessLoopMessage(unsigned id, std::vector<const Control*> targetAndAncestors)
      : id_(id), targets_(std::move(targetAndAncestors)) {}
  unsigned id() const override { return id_; }
  bool targetsInside(const Control& control) const override;

 private:
  unsigned id_;
  std::vector<const Control*> targets_;
};

class HeadlessMainLoop : public MainLoop {
 public:
  explicit HeadlessMainLoop(Dialogs& dialogs);

  void run() override;
  void quit() override;
  void post(std::function<void()> call) override;
  void invokeSync(std::function<void()> call) override;
  void processMessages() override { pump(); }
  void setMessageFilter(MessageFilter filter) override { filter_ = std::move(filter); }

  // A message from the queue: it passes the filter (inside the error boundary; a failing filter lets
  // it pass) and is dispatched unless the filter took it. True when it was dispatched.
  bool deliver(const LoopMessage& message);

  // Runs every queued call (and calls queued while running them); returns how many ran.
  int pump();
  // Pumps until `done` holds or the real-time limit passes (for work that finishes on other threads).
  bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 10000);
  // Moves virtual time on, firing due timers in time order and pumping between ticks.
  void advance(int milliseconds);
  long long now() const { return now_; }

  void registerTimer(HeadlessTimer* timer);
  void unregisterTimer(HeadlessTimer* timer);
  bool onMainThread() const { return std::this_thread::get_id() == mainThread_; }

 private:
  Dialogs& dialogs_;
  std::thread::id mainThread_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
  std::vector<HeadlessTimer*> timers_;
  MessageFilter filter_;
  long long now_ = 0;
  bool quit_ = false;
};

}  // namespace qv::platform::headless
