#include "platform/bounded_download.h"

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "common/file_system.h"

namespace qv::platform {

namespace {

using Clock = std::chrono::steady_clock;

// What the waiting caller and the transfer's thread share. The thread holds it as long as it runs,
// which may be longer than the caller waits.
struct Transfer {
  std::mutex mutex;
  std::condition_variable changed;
  std::string url;
  std::string filePath;
  Clock::time_point lastByte = Clock::now();
  uint64_t bytes = 0;
  bool finished = false;
  bool givenUp = false;
  int32_t result = download_result::kFailed;
};

void run(UrlDownloader& downloader, const std::shared_ptr<Transfer>& t) {
  int32_t result = download_result::kFailed;
  try {
    result = downloader.download(t->url, t->filePath, [t](uint64_t done, uint64_t) {
      const std::lock_guard lock(t->mutex);
      if (t->givenUp) return false;
      if (done > t->bytes) {
        t->bytes = done;
        t->lastByte = Clock::now();
        t->changed.notify_all();
      }
      return true;
    });
  } catch (...) {
    // No exception leaves a thread: a downloader that throws has failed.
  }
  const std::lock_guard lock(t->mutex);
  t->finished = true;
  t->result = result;
  // Nobody reads this file any more; it must not stay behind.
  if (t->givenUp && result == download_result::kOk) files::removeFile(t->filePath);
  t->changed.notify_all();
}

}  // namespace

int32_t downloadWithin(UrlDownloader& downloader, const std::string& url, const std::string& filePath,
                       const TransferLimits& limits) {
  auto transfer = std::make_shared<Transfer>();
  transfer->url = url;
  transfer->filePath = filePath;
  std::thread worker(run, std::ref(downloader), transfer);

  std::unique_lock lock(transfer->mutex);
  while (!transfer->finished) {
    const Clock::time_point deadline = transfer->lastByte + limits.silence;
    if (Clock::now() >= deadline) {
      transfer->givenUp = true;
      break;
    }
    transfer->changed.wait_until(lock, deadline);
  }
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
