#include "download/download_workers.h"

#include <algorithm>
#include <chrono>

namespace qv::download {

DownloadWorkers::DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                 size_t maxRunning)
    : downloader_(downloader),
      mainLoop_(mainLoop),
      maxRunning_(std::max<size_t>(1, maxRunning)),
      self_(std::make_shared<DownloadWorkers*>(this)) {}

DownloadWorkers::~DownloadWorkers() {
  shutdown();
  *self_ = nullptr;
}

TFileDownLoadThread* DownloadWorkers::start(std::string URL, std::string FileName,
                                            TDownLoadProgressEvent OnDownLoadProgress,
                                            TDownLoadCompleteEvent OnDownLoadComplete,
                                            TDownLoadErrorEvent OnDownLoadError, bool CreateSuspended) {
  const bool handlersComplete = OnDownLoadProgress && OnDownLoadComplete && OnDownLoadError;
  if (!handlersComplete || CreateSuspended) {
    workers_.push_back(std::make_unique<TFileDownLoadThread>(
        downloader_, mainLoop_, std::move(URL), std::move(FileName), std::move(OnDownLoadProgress),
        std::move(OnDownLoadComplete), std::move(OnDownLoadError), true));
    return workers_.back().get();
  }
  waiting_.push_back({std::move(URL), std::move(FileName), std::move(OnDownLoadProgress),
                      std::move(OnDownLoadComplete), std::move(OnDownLoadError)});
  startWaiting();
  return nullptr;
}

void DownloadWorkers::launch(Request request) {
  workers_.push_back(std::make_unique<TFileDownLoadThread>(
      downloader_, mainLoop_, std::move(request.url), std::move(request.file), std::move(request.onProgress),
      std::move(request.onComplete), std::move(request.onError), true));
  TFileDownLoadThread& worker = *workers_.back();
  launched_.emplace(&worker, std::prev(workers_.end()));
  busyFiles_.insert(worker.fileName());
  // The worker tells the main thread when its body has ended; the post holds only a weak hold on the
  // pool, so a pool already gone is simply not told. Only ended() frees a worker the pool started, so
  // the pointer is good when the post runs.
  std::weak_ptr<DownloadWorkers*> pool = self_;
  platform::MainLoop& loop = mainLoop_;
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
  busyFiles_.erase(worker->fileName());
  workers_.erase(it->second);  // joins: the thread is past its last call
  launched_.erase(it);
  startWaiting();
}

void DownloadWorkers::startWaiting() {
  // Requests whose file is being written keep their place; the ones behind them may go first.
  for (auto it = waiting_.begin(); it != waiting_.end() && launched_.size() < maxRunning_;) {
    if (busyFiles_.contains(it->file)) {
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

void DownloadWorkers::shutdown() {
  // Waiting requests never started: there is nothing to end.
  waiting_.clear();
  for (auto& w : workers_) w->terminate();
  // A suspended worker never started: it has no thread to wait for.
  auto running = [this] {
    return std::any_of(workers_.begin(), workers_.end(),
                       [](const auto& w) { return !w->finished() && !w->suspended(); });
  };
  while (running()) {
    mainLoop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  workers_.clear();
  launched_.clear();
  busyFiles_.clear();
}

}  // namespace qv::download
