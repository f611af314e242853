#include "download/download_workers.h"

#include <algorithm>
#include <chrono>

namespace qv::download {

DownloadWorkers::DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop)
    : downloader_(downloader), mainLoop_(mainLoop) {}

DownloadWorkers::~DownloadWorkers() { shutdown(); }

TFileDownLoadThread& DownloadWorkers::start(std::string URL, std::string FileName,
                                            TDownLoadProgressEvent OnDownLoadProgress,
                                            TDownLoadCompleteEvent OnDownLoadComplete,
                                            TDownLoadErrorEvent OnDownLoadError, bool CreateSuspended) {
  reap();
  workers_.push_back(std::make_unique<TFileDownLoadThread>(
      downloader_, mainLoop_, std::move(URL), std::move(FileName), std::move(OnDownLoadProgress),
      std::move(OnDownLoadComplete), std::move(OnDownLoadError), CreateSuspended));
  return *workers_.back();
}

void DownloadWorkers::reap() {
  // A finished worker has left its handlers; joining it only waits for the thread's last return.
  std::erase_if(workers_, [](const std::unique_ptr<TFileDownLoadThread>& w) { return w->finished(); });
}

void DownloadWorkers::shutdown() {
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
}

}  // namespace qv::download
