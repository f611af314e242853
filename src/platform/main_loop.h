#pragma once
// The one main loop and the ways other threads reach the main thread.
#include <functional>

namespace qv::platform {

class Control;

// A message the main loop has taken from the queue, before it is dispatched.
class LoopMessage {
 public:
  virtual ~LoopMessage() = default;
  // The window message number (0x0204 is a right-button press).
  virtual unsigned id() const = 0;
  // Whether the message's target window is the control's window or lies inside it.
  virtual bool targetsInside(const Control& control) const = 0;
};

// Looks at every queued message first; true marks it handled, and it is dropped.
using MessageFilter = std::function<bool(const LoopMessage& message)>;

class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Runs until quit() is called (the main form's real close calls it).
  virtual void run() = 0;
  virtual void quit() = 0;
  // Queues a call for the main thread and returns at once. Safe from any thread. The call runs inside
  // the error boundary.
  virtual void post(std::function<void()> call) = 0;
  // Queues a call for the main thread that runs once the windows have painted what they owe: a command
  // that has changed the window and starts work in the background lets the window show its result
  // before that work's first messages. Main thread only. A loop without paints simply posts it.
  virtual void postAfterPaint(std::function<void()> call) { post(std::move(call)); }
  // Runs a call on the main thread and waits until it has returned. Safe from any thread; on the main
  // thread it runs the call directly.
  virtual void invokeSync(std::function<void()> call) = 0;
  // Lets pending window messages and posted calls run (the unzip engine pumps during long loops).
  virtual void processMessages() = 0;
  // The filter every message taken from the queue passes first, in every loop of the main thread
  // (modal ones included). One at a time; an empty filter removes it. Loops that see no window
  // messages (the hand-offs workers are given) have nothing to filter.
  virtual void setMessageFilter(MessageFilter /*filter*/) {}
};

}  // namespace qv::platform
