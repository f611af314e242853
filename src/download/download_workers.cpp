#include "download/download_workers.h"

#include <algorithm>
#include <chrono>

#include "common/file_name_key.h"

namespace qv::download {

DownloadWorkers::DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                 size_t maxRunning)
    : downloader_(downloader),
      mainLoop_(mainLoop),
      gate_(std::make_unique<WorkerGate>(mainLoop)),
      maxRunning_(std::max<size_t>(1, maxRunning)),
      self_(std::make_shared<DownloadWorkers*>(this)) {}

DownloadWorkers::~DownloadWorkers() {
  if (!shutdown()) {
    // A worker is still inside the platform and its thread cannot be joined. Its object and the gate
    // are left to it for the rest of the process, which ends the thread; the shut gate keeps it away
    // from everything destroyed after the pool.
    for (auto& w : workers_) static_cast<void>(w.release());
    static_cast<void>(gate_.release());
  }
  *self_ = nullptr;
}

TFileDownLoadThread* DownloadWorkers::start(platform::DownloadRequest request,
                                            TDownLoadProgressEvent OnDownLoadProgress,
                                            TDownLoadCompleteEvent OnDownLoadComplete,
                                            TDownLoadErrorEvent OnDownLoadError, bool CreateSuspended) {
  if (gate_->closed()) return nullptr;  // a worker started now could report to nobody
  const bool handlersComplete = OnDownLoadProgress && OnDownLoadComplete && OnDownLoadError;
  if (!handlersComplete || CreateSuspended) {
    workers_.push_back(std::make_unique<TFileDownLoadThread>(
        downloader_, *gate_, std::move(request), std::move(OnDownLoadProgress),
        gate_->guard(std::move(OnDownLoadComplete)), gate_->guard(std::move(OnDownLoadError)), true));
    return workers_.back().get();
  }
  std::string fileKey = files::fileNameKey(request.filePath);
  waiting_.push_back({std::move(request), std::move(fileKey), std::move(OnDownLoadProgress),
                      std::move(OnDownLoadComplete), std::move(OnDownLoadError)});
  if (batchDepth_ == 0) startWaiting();
  return nullptr;
}

void DownloadWorkers::endBatch() {
  if (--batchDepth_ > 0 || waiting_.empty() || launchScheduled_) return;
  launchScheduled_ = true;
  std::weak_ptr<DownloadWorkers*> pool = self_;
  mainLoop_.postAfterPaint([pool] {
    if (auto p = pool.lock(); p && *p != nullptr) {
      (*p)->launchScheduled_ = false;
      if ((*p)->batchDepth_ == 0) (*p)->startWaiting();
    }
  });
}

void DownloadWorkers::launch(Request request) {
  // The progress handler runs on the main thread through the gate's hand-off; the other two run on the
  // worker, so the gate wraps them.
  workers_.push_back(std::make_unique<TFileDownLoadThread>(
      downloader_, *gate_, std::move(request.request), std::move(request.onProgress),
      gate_->guard(std::move(request.onComplete)), gate_->guard(std::move(request.onError)), true));
  TFileDownLoadThread& worker = *workers_.back();
  busyFiles_.insert(request.fileKey);
  launched_.emplace(&worker, Launched{std::prev(workers_.end()), std::move(request.fileKey)});
  // The worker tells the main thread when its body has ended; the post holds only a weak hold on the
  // pool, so a pool already gone is simply not told. Only ended() frees a worker the pool started, so
  // the pointer is good when the post runs.
  std::weak_ptr<DownloadWorkers*> pool = self_;
  platform::MainLoop& loop = *gate_;
  TFileDownLoadThread* raw = &worker;
  worker.setOnEnded([pool, &loop, raw] {
    loop.post([pool, raw] {
      if (auto p = pool.lock(); p && *p != nullptr) (*p)->ended(raw);
    });
  });
  worker.resume();
}

void DownloadWorkers::ended(TFileDownLoadThread* worker) {
  const auto it = launched_.find(worker);
  if (it == launched_.end()) return;
  busyFiles_.erase(it->second.fileKey);
  workers_.erase(it->second.worker);  // joins: the thread is past its last call
  launched_.erase(it);
  startWaiting();
}

void DownloadWorkers::startWaiting() {
  // Requests whose file is being written keep their place; the ones behind them may go first.
  for (auto it = waiting_.begin(); it != waiting_.end() && launched_.size() < maxRunning_;) {
    if (busyFiles_.contains(it->fileKey)) {
      ++it;
      continue;
    }
    Request next = std::move(*it);
    it = waiting_.erase(it);
    launch(std::move(next));
  }
}

void DownloadWorkers::reap() {
  // A finished worker has left its handlers; joining it only waits for the thread's last return.
  for (auto it = workers_.begin(); it != workers_.end();) {
    if ((*it)->finished() && !launched_.contains(it->get())) {
      it = workers_.erase(it);
    } else {
      ++it;
    }
  }
}

bool DownloadWorkers::shutdown(std::chrono::milliseconds limit) {
  // Waiting requests never started: there is nothing to end.
  waiting_.clear();
  for (auto& w : workers_) w->terminate();
  // A suspended worker never started: it has no thread to wait for.
  auto inside = [](const std::unique_ptr<TFileDownLoadThread>& w) {
    return !w->finished() && !w->suspended();
  };
  auto running = [&] { return std::any_of(workers_.begin(), workers_.end(), inside); };
  // Once the gate is shut, what is left reaches nothing: it is not waited for a second time.
  const auto deadline =
      std::chrono::steady_clock::now() + (gate_->closed() ? std::chrono::milliseconds(0) : limit);
  while (running() && std::chrono::steady_clock::now() < deadline) {
    mainLoop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (running()) gate_->close();
  // What is still inside the platform stays; its end is never posted, so reap() is what frees it.
  workers_.remove_if([&](const std::unique_ptr<TFileDownLoadThread>& w) { return !inside(w); });
  launched_.clear();
  busyFiles_.clear();
  return workers_.empty();
}

}  // namespace qv::download
