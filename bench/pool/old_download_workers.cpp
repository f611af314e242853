#include "pool/old_download_workers.h"

#include <algorithm>
#include <thread>

#include "common/file_name_key.h"

namespace qv::bench::old_pool {

DownloadWorkers::DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                 size_t maxRunning)
    : downloader_(downloader),
      mainLoop_(mainLoop),
      gate_(std::make_unique<download::WorkerGate>(mainLoop)),
      maxRunning_(std::max<size_t>(1, maxRunning)),
      self_(std::make_shared<DownloadWorkers*>(this)) {}

DownloadWorkers::~DownloadWorkers() {
  if (!shutdown()) {
    // A worker still inside the platform cannot be joined; it and the gate are left to the process.
    for (auto& w : workers_) static_cast<void>(w.release());
    static_cast<void>(gate_.release());
  }
  *self_ = nullptr;
}

void DownloadWorkers::start(platform::DownloadRequest request, TDownLoadProgressEvent onProgress,
                            TDownLoadCompleteEvent onComplete, TDownLoadErrorEvent onError) {
  if (gate_->closed()) return;
  std::string fileKey = files::fileNameKey(request.filePath);
  waiting_.push_back(
      {std::move(request), std::move(fileKey), std::move(onProgress), std::move(onComplete), std::move(onError)});
  if (batchDepth_ == 0) startWaiting();
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
  // Each end is posted to the main thread once its handler has returned, with a weak hold on the pool;
  // only ended() frees a worker the pool started, so the pointer is good when the post runs.
  std::weak_ptr<DownloadWorkers*> pool = self_;
  platform::MainLoop& loop = *gate_;
  auto worker = std::make_shared<TFileDownLoadThread*>(nullptr);
  auto tellEnd = [pool, &loop, worker] {
    loop.post([pool, raw = *worker] {
      if (auto p = pool.lock(); p && *p != nullptr) (*p)->ended(raw);
    });
  };
  TDownLoadCompleteEvent complete = [handler = std::move(request.onComplete), tellEnd](TFileDownLoadThread& s) {
    handler(s);
    tellEnd();
  };
  TDownLoadErrorEvent error = [handler = std::move(request.onError), tellEnd](TFileDownLoadThread& s, int32_t code) {
    handler(s, code);
    tellEnd();
  };
  workers_.push_back(std::make_unique<TFileDownLoadThread>(downloader_, *gate_, std::move(request.request),
                                                           std::move(request.onProgress),
                                                           gate_->guard(std::move(complete)),
                                                           gate_->guard(std::move(error)), true));
  TFileDownLoadThread& started = *workers_.back();
  *worker = &started;
  busyFiles_.insert(request.fileKey);
  launched_.emplace(&started, Launched{std::prev(workers_.end()), std::move(request.fileKey)});
  started.resume();
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

bool DownloadWorkers::shutdown(std::chrono::milliseconds limit) {
  waiting_.clear();
  for (auto& w : workers_) w->terminate();
  auto inside = [](const std::unique_ptr<TFileDownLoadThread>& w) { return !w->finished() && !w->suspended(); };
  auto running = [&] { return std::any_of(workers_.begin(), workers_.end(), inside); };
  const auto deadline = std::chrono::steady_clock::now() + (gate_->closed() ? std::chrono::milliseconds(0) : limit);
  while (running() && std::chrono::steady_clock::now() < deadline) {
    mainLoop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (running()) gate_->close();
  workers_.remove_if([&](const std::unique_ptr<TFileDownLoadThread>& w) { return !inside(w); });
  launched_.clear();
  busyFiles_.clear();
  return workers_.empty();
}

}  // namespace qv::bench::old_pool
