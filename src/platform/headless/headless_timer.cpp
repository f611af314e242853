#include "platform/headless/headless_timer.h"

#include "platform/error_boundary.h"
#include "platform/headless/headless_main_loop.h"

namespace qv::platform::headless {

HeadlessTimer::HeadlessTimer(HeadlessMainLoop& loop, Dialogs& dialogs, int intervalMs, bool enabled)
    : loop_(loop), dialogs_(dialogs), interval_(intervalMs) {
  loop_.registerTimer(this);
  setEnabled(enabled);
}

HeadlessTimer::~HeadlessTimer() { loop_.unregisterTimer(this); }

// As with a window timer, changing the interval or enabling starts a fresh period.
void HeadlessTimer::rearm() { dueAt_ = loop_.now() + (interval_ > 0 ? interval_ : 1); }

void HeadlessTimer::setInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  if (enabled_) rearm();
}

// Enabling an enabled timer changes nothing, as with the window timers of the Windows build.
void HeadlessTimer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  if (enabled_) rearm();
}

void HeadlessTimer::fire(long long now) {
  dueAt_ = now + interval_;
  if (handler_) runGuarded(dialogs_, handler_);
}

}  // namespace qv::platform::headless
