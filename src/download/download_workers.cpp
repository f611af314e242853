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

TFileDownLoadThread& DownloadWorkers::start(std::string URL, std::string FileName,
                                            TDownLoadProgressEvent OnDownLoadProgress,
                                            TDownLoadCompleteEvent OnDownLoadComplete,
                                            TDownLoadErrorEvent OnDownLoadError, bool CreateSuspended) {
  reap();
  // Created suspended in any case: the pool decides when it runs.
  workers_.push_back(std::make_unique<TFileDownLoadThread>(
      downloader_, mainLoop_, std::move(URL), std::move(FileName), std::move(OnDownLoadProgress),
      std::move(OnDownLoadComplete), std::move(OnDownLoadError), true));
  TFileDownLoadThread& worker = *workers_.back();
  if (worker.handlersComplete() && !CreateSuspended) {
    waiting_.push_back(&worker);
    startWaiting();
  }
  return worker;
}

void DownloadWorkers::launch(TFileDownLoadThread& worker) {
  ++running_;
  busyFiles_.insert(worker.fileName());
  // The worker tells the main thread when its body has ended; the post holds only a weak hold on
  // the pool, so a pool already gone is simply not told.
  std::weak_ptr<DownloadWorkers*> pool = self_;
  platform::MainLoop& loop = mainLoop_;
  // The file's name travels by value: the worker may be reaped before the post is run.
  worker.setOnEnded([pool, &loop, file = worker.fileName()] {
    loop.post([pool, file] {
      if (auto p = pool.lock(); p && *p != nullptr) (*p)->ended(file);
    });
  });
  worker.resume();
}

void DownloadWorkers::ended(const std::string& fileName) {
  if (running_ > 0) --running_;
  busyFiles_.erase(fileName);
  startWaiting();
}

void DownloadWorkers::startWaiting() {
  for (auto it = waiting_.begin(); it != waiting_.end() && running_ < maxRunning_;) {
    if (busyFiles_.contains((*it)->fileName())) {
      ++it;
      continue;
    }
    TFileDownLoadThread* next = *it;
    it = waiting_.erase(it);
    launch(*next);
  }
}

void DownloadWorkers::reap() {
  // A finished worker has left its handlers; joining it only waits for the thread's last return.
  std::erase_if(workers_, [](const std::unique_ptr<TFileDownLoadThread>& w) { return w->finished(); });
}

void DownloadWorkers::shutdown() {
  // Waiting workers never started: they have no thread and nothing to end.
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
  busyFiles_.clear();
  running_ = 0;
}

}  // namespace qv::download
