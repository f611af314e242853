#pragma once
// A timer of a form: SetTimer on the form's window, ticks dispatched by the form's WM_TIMER.
#include <windows.h>

#include "platform/ui.h"
#include "platform/win32/ui_context.h"

namespace qv::platform::win32 {

class Win32Timer final : public Timer {
 public:
  Win32Timer(UiContext& ctx, HWND window, UINT_PTR id, int intervalMs, bool enabled);
  ~Win32Timer() override;
  Win32Timer(const Win32Timer&) = delete;
  Win32Timer& operator=(const Win32Timer&) = delete;

  // Like the timers the forms were designed with: changing the interval or enabling restarts the
  // count, setting the same value again changes nothing, and an interval of 0 never ticks.
  void setInterval(int milliseconds) override;
  int interval() const override { return interval_; }
  void setEnabled(bool enabled) override;
  bool enabled() const override { return enabled_; }
  void setOnTimer(Handler handler) override { handler_ = std::move(handler); }

  void tick();

 private:
  void restart();

  UiContext& ctx_;
  HWND window_;
  UINT_PTR id_;
  int interval_;
  bool enabled_;
  Handler handler_;
};

}  // namespace qv::platform::win32
