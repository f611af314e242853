#pragma once
// The one main loop and the ways other threads reach the main thread.
#include <functional>

namespace qv::platform {

class MainLoop {
 public:
  virtual ~MainLoop() = default;
  // Runs until quit() is called (the main form's real close calls it).
  virtual void run() = 0;
  virtual void quit() = 0;
  // Queues a call for the main thread and returns at once. Safe from any thread. The call runs inside
  // the error boundary.
  virtual void post(std::function<void()> call) = 0;
  // Runs a call on the main thread and waits until it has returned. Safe from any thread; on the main
  // thread it runs the call directly.
  virtual void invokeSync(std::function<void()> call) = 0;
  // Lets pending window messages and posted calls run (the unzip engine pumps during long loops).
  virtual void processMessages() = 0;
};

}  // namespace qv::platform
