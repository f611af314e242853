#include "install/staging_sweeper.h"

#include "install/commit_moves.h"

namespace qv::install {

StagingSweeper::~StagingSweeper() {
  stop();
  if (thread_.joinable()) thread_.join();
}

void StagingSweeper::stop() {
  {
    // Under the lock, so the worker cannot miss it between looking and waiting.
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  changed_.notify_all();
}

void StagingSweeper::sweep(const StagingLayout& layout) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(layout);
    if (!thread_.joinable()) thread_ = std::thread([this] { work(); });
  }
  changed_.notify_all();
}

void StagingSweeper::finish() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return queue_.empty() && !busy_; });
}

void StagingSweeper::work() {
  std::unique_lock lock(mutex_);
  for (;;) {
    changed_.wait(lock, [this] { return stop_ || !queue_.empty(); });
    if (stop_) {
      // What is left keeps its journal: the next start finishes it.
      for (const StagingLayout& left : queue_) inUse_.remove(left.folder);
      queue_.clear();
      changed_.notify_all();
      return;
    }
    const StagingLayout layout = queue_.front();
    queue_.pop_front();
    busy_ = true;
    lock.unlock();
    try {
      clearStaging(layout, false, &stop_);
    } catch (...) {
      // Out of memory, say: the folder stays for the next start.
    }
    inUse_.remove(layout.folder);
    lock.lock();
    busy_ = false;
    changed_.notify_all();
  }
}

}  // namespace qv::install
