#include "platform/win32/win32_timer.h"

#include "platform/error_boundary.h"

namespace qv::platform::win32 {

Win32Timer::Win32Timer(UiContext& ctx, HWND window, UINT_PTR id, int intervalMs, bool enabled)
    : ctx_(ctx), window_(window), id_(id), interval_(intervalMs), enabled_(enabled) {
  restart();
}

Win32Timer::~Win32Timer() {
  if (::IsWindow(window_)) ::KillTimer(window_, id_);
}

void Win32Timer::restart() {
  ::KillTimer(window_, id_);
  if (enabled_ && interval_ > 0) ::SetTimer(window_, id_, static_cast<UINT>(interval_), nullptr);
}

void Win32Timer::setInterval(int milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  restart();
}

void Win32Timer::setEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  restart();
}

void Win32Timer::tick() {
  // A WM_TIMER already queued when the timer was stopped is not a tick.
  if (!enabled_ || !handler_) return;
  const Handler handler = handler_;
  runGuarded(ctx_.dialogs(), handler);
}

}  // namespace qv::platform::win32
