#pragma once
// The thread's message loop, plus a hidden message-only window through which other threads hand
// calls to the main thread.
#include <windows.h>

#include <deque>
#include <functional>
#include <mutex>

#include "platform/dialogs.h"
#include "platform/main_loop.h"
#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

// Lets the main loop's message filter drop the message, gives a form's keyboard navigation (Tab, arrow
// keys between radio buttons) its chance at it, then translates and dispatches it. Every loop of the
// program pumps through here.
void dispatchLoopMessage(MSG& msg);

// Marks a top-level window as one of our forms, so dispatchLoopMessage gives it dialog navigation.
void markAsForm(HWND hwnd);

class Win32MainLoop : public MainLoop {
 public:
  explicit Win32MainLoop(Dialogs& dialogs);
  ~Win32MainLoop() override;
  Win32MainLoop(const Win32MainLoop&) = delete;
  Win32MainLoop& operator=(const Win32MainLoop&) = delete;

  void run() override;
  void quit() override;
  void post(std::function<void()> call) override;
  void postAfterPaint(std::function<void()> call) override;
  void invokeSync(std::function<void()> call) override;
  void processMessages() override;
  // Main thread only, as the loops that consult it.
  void setMessageFilter(MessageFilter filter) override;

 private:
  static LRESULT CALLBACK sinkProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void runOnePosted();
  void runAfterPaint();
  bool onMainThread() const { return ::GetCurrentThreadId() == mainThread_; }

  Dialogs& dialogs_;
  DWORD mainThread_;
  UniqueWindow sink_;
  std::mutex mutex_;
  // Calls waiting for the main thread; one posted window message per entry.
  std::deque<std::function<void()>> queue_;
  // Calls waiting for the paint; main thread only. A timer message carries them: the system hands one
  // out only when no window of the thread is left to paint.
  std::deque<std::function<void()>> afterPaint_;
};

}  // namespace qv::platform::win32
