#include "download/worker_gate.h"

#include <chrono>
#include <thread>

namespace qv::download {

WorkerGate::Pass::Pass(WorkerGate& gate) : gate_(gate) {
  std::lock_guard lock(gate_.mutex_);
  open_ = !gate_.closed_;
  if (open_) ++gate_.inside_;
}

WorkerGate::Pass::~Pass() {
  if (!open_) return;
  std::lock_guard lock(gate_.mutex_);
  --gate_.inside_;
}

void WorkerGate::post(std::function<void()> call) {
  Pass pass(*this);
  if (pass) loop_.post(std::move(call));
}

void WorkerGate::invokeSync(std::function<void()> call) {
  Pass pass(*this);
  if (pass) loop_.invokeSync(std::move(call));
}

bool WorkerGate::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void WorkerGate::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (inside_ == 0) return;
    }
    loop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace qv::download
