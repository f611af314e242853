#include "download/download_workers.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "common/file_name_key.h"

namespace qv::download {

DownloadWorkers::DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                 size_t maxRunning, std::chrono::milliseconds idleLinger)
    : mainLoop_(mainLoop),
      gate_(std::make_unique<WorkerGate>(mainLoop)),
      downloader_(downloader),
      threads_(downloader, mainLoop, maxRunning, idleLinger),
      self_(std::make_shared<DownloadWorkers*>(this)) {}

DownloadWorkers::~DownloadWorkers() {
  if (!shutdown()) {
    // A transfer is still inside the platform and its thread cannot be joined. A suspended worker's
    // object and its gate are left to it for the rest of the process, which ends the thread; a pool
    // thread keeps what it touches alive itself (threads_ lets it go). Either gate is shut, which keeps
    // them away from everything destroyed after the pool.
    for (auto& w : workers_) static_cast<void>(w.release());
    static_cast<void>(gate_.release());
  }
  *self_ = nullptr;
}

TFileDownLoadThread* DownloadWorkers::start(platform::DownloadRequest request,
                                            TDownLoadProgressEvent onProgress,
                                            TDownLoadCompleteEvent onComplete,
                                            TDownLoadErrorEvent onError, bool createSuspended) {
  if (gate_->closed()) return nullptr;  // a worker started now could report to nobody
  const bool handlersComplete = onProgress && onComplete && onError;
  if (!handlersComplete || createSuspended) {
    workers_.push_back(std::make_unique<TFileDownLoadThread>(
        downloader_, *gate_, std::move(request), std::move(onProgress),
        gate_->guard(std::move(onComplete)), gate_->guard(std::move(onError)), true));
    return workers_.back().get();
  }
  std::string fileKey = files::fileNameKey(request.filePath);
  threads_.add({std::move(request), std::move(fileKey), std::move(onProgress), std::move(onComplete),
                std::move(onError)});
  return nullptr;
}

void DownloadWorkers::beginBatch() {
  if (batchDepth_++ == 0) threads_.hold();
}

void DownloadWorkers::endBatch() {
  if (--batchDepth_ > 0 || launchScheduled_) return;
  if (threads_.waiting() == 0) {
    threads_.release();
    return;
  }
  launchScheduled_ = true;
  std::weak_ptr<DownloadWorkers*> pool = self_;
  mainLoop_.postAfterPaint([pool] {
    if (auto p = pool.lock(); p && *p != nullptr) {
      (*p)->launchScheduled_ = false;
      if ((*p)->batchDepth_ == 0) (*p)->threads_.release();
    }
  });
}

void DownloadWorkers::reap() {
  // A finished worker has left its handlers; joining it only waits for the thread's last return.
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->finished()) {
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
  threads_.reap();
}

bool DownloadWorkers::suspendedWorkerInside() const {
  // A suspended worker never started: it has no thread to wait for.
  return std::any_of(workers_.begin(), workers_.end(),
                     [](const std::unique_ptr<TFileDownLoadThread>& w) { return !w->finished() && !w->suspended(); });
}

bool DownloadWorkers::shutdown(std::chrono::milliseconds limit) {
  // Waiting requests never started: there is nothing to end.
  threads_.beginStop();
  for (auto& w : workers_) w->terminate();
  auto running = [&] { return threads_.inTransfer() || suspendedWorkerInside(); };
  // Once the gates are shut, what is left reaches nothing: it is not waited for a second time.
  const auto deadline =
      std::chrono::steady_clock::now() + (gate_->closed() ? std::chrono::milliseconds(0) : limit);
  while (running() && std::chrono::steady_clock::now() < deadline) {
    mainLoop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (running()) {
    gate_->close();
    threads_.gate().close();
  }
  // What is still inside the platform stays; reap() is what frees it once its thread has ended.
  workers_.remove_if([](const std::unique_ptr<TFileDownLoadThread>& w) { return w->finished() || w->suspended(); });
  const bool threadsJoined = threads_.endStop();
  return threadsJoined && workers_.empty();
}

}  // namespace qv::download
