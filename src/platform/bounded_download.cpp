#include "platform/bounded_download.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/file_system.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

class BlockingWait : public TransferWait {
 public:
  void wait(std::chrono::milliseconds timeout) override {
    std::unique_lock lock(mutex_);
    changed_.wait_for(lock, timeout, [this] { return woken_; });
    woken_ = false;
  }
  void wake() override {
    const std::lock_guard lock(mutex_);
    woken_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool woken_ = false;
};

// What the waiting caller and the transfer's thread share. The thread holds it as long as it runs,
// which may be longer than the caller waits.
struct Transfer {
  std::mutex mutex;
  std::shared_ptr<TransferWait> wait;
  DownloadRequest request;
  Clock::time_point lastByte = Clock::now();
  uint64_t bytes = 0;
  bool finished = false;
  bool givenUp = false;
  int32_t result = download_result::kFailed;
};

void run(UrlDownloader& downloader, const std::shared_ptr<Transfer>& t) {
  int32_t result = download_result::kFailed;
  try {
    result = downloader.download(t->request, [t](uint64_t done, uint64_t) {
      {
        const std::lock_guard lock(t->mutex);
        if (t->givenUp) return false;
        if (done <= t->bytes) return true;
        t->bytes = done;
        t->lastByte = Clock::now();
      }
      t->wait->wake();
      return true;
    });
  } catch (...) {
    // No exception leaves a thread: a downloader that throws has failed.
  }
  {
    const std::lock_guard lock(t->mutex);
    t->finished = true;
    t->result = result;
    // Nobody reads this file any more; it must not stay behind.
    if (t->givenUp && result == download_result::kOk) files::removeFile(t->request.filePath);
  }
  t->wait->wake();
}

}  // namespace

std::shared_ptr<TransferWait> blockingWait() { return std::make_shared<BlockingWait>(); }

int32_t downloadWithin(UrlDownloader& downloader, DownloadRequest request,
                       std::shared_ptr<TransferWait> wait) {
  auto transfer = std::make_shared<Transfer>();
  transfer->wait = std::move(wait);
  transfer->request = std::move(request);
  const TransferBounds bounds = transfer->request.terms.bounds;
  const Clock::time_point end = Clock::now() + bounds.deadline + kDeadlineGrace;
  std::thread worker(run, std::ref(downloader), transfer);

  for (;;) {
    std::chrono::milliseconds left{};
    {
      const std::lock_guard lock(transfer->mutex);
      if (transfer->finished) break;
      const Clock::time_point deadline = std::min(transfer->lastByte + bounds.silence, end);
      const Clock::time_point now = Clock::now();
      if (now >= deadline) {
        transfer->givenUp = true;
        break;
      }
      left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    }
    transfer->wait->wait(left);
  }
  std::unique_lock lock(transfer->mutex);
  if (!transfer->finished) {
    lock.unlock();
    worker.detach();
    return kTransferTimedOut;
  }
  const int32_t result = transfer->result;
  lock.unlock();
  worker.join();
  return result;
}

}  // namespace qv::platform
