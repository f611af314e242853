#pragma once
// A timer on the virtual clock of the headless main loop.
#include "platform/dialogs.h"
#include "platform/ui.h"

namespace qv::platform::headless {

class HeadlessMainLoop;

class HeadlessTimer : public Timer {
 public:
  HeadlessTimer(HeadlessMainLoop& loop, Dialogs& dialogs, int intervalMs, bool enabled);
  ~HeadlessTimer() override;
  HeadlessTimer(const HeadlessTimer&) = delete;
  HeadlessTimer& operator=(const HeadlessTimer&) = delete;

  void setInterval(int milliseconds) override;
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override;
  bool enabled() const override { return enabled_; }
  void setOnTimer(Handler handler) override { handler_ = std::move(handler); }

  long long dueAt() const { return dueAt_; }
  void fire(long long now);

 private:
  void rearm();
  HeadlessMainLoop& loop_;
  Dialogs& dialogs_;
  int interval_;
  bool enabled_ = false;
  long long dueAt_ = 0;
  Handler handler_;
};

}  // namespace qv::platform::headless
