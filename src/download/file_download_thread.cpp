#include "download/file_download_thread.h"

#include <memory>

namespace qv::download {

TFileDownLoadThread::TFileDownLoadThread(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                         platform::DownloadRequest request, TDownLoadProgressEvent onProgress,
                                         TDownLoadCompleteEvent onComplete, TDownLoadErrorEvent onError,
                                         bool CreateSuspended)
    : FDownloader(downloader),
      FMainLoop(mainLoop),
      FURL(std::move(request.url)),
      FFileName(std::move(request.filePath)),
      FTerms(std::move(request.terms)),
      OnDownLoadProgress(std::move(onProgress)),
      OnDownLoadComplete(std::move(onComplete)),
      OnDownLoadError(std::move(onError)) {
  if (handlersComplete() && !CreateSuspended) resume();
}

TFileDownLoadThread::~TFileDownLoadThread() {
  terminate();
  waitFor();
}

void TFileDownLoadThread::resume() {
  std::lock_guard lock(FThreadLock);
  if (FStarted) return;
  FThread = std::thread([this] { Execute(); });
  FStarted = true;
}

void TFileDownLoadThread::runHere() {
  {
    std::lock_guard lock(FThreadLock);
    if (FStarted) return;
    FStarted = true;
  }
  Execute();
}

bool TFileDownLoadThread::suspended() const {
  std::lock_guard lock(FThreadLock);
  return !FStarted;
}

void TFileDownLoadThread::waitFor() {
  std::lock_guard lock(FThreadLock);
  if (FThread.joinable() && FThread.get_id() != std::this_thread::get_id()) FThread.join();
}

void TFileDownLoadThread::Execute() {
  // No exception leaves a thread entry: an error inside a handler just ends the thread, unreported.
  try {
    // The platform holds a counted reference to the monitor for the length of the transfer, through
    // the progress callback; ours is dropped when the body ends.
    auto monitor = std::make_shared<TDownLoadMonitor>(this);
    FMonitor = monitor.get();
    const platform::ProgressCallback progress = [monitor](uint64_t done, uint64_t total) {
      return monitor->OnProgress(done, total);
    };
    int32_t result;
    try {
      result = FDownloader.download({FURL, FFileName, FTerms}, progress);
    } catch (...) {
      result = platform::download_result::kFailed;
    }
    // Only 0 is success: a success code such as S_FALSE means the file may not be what was asked for.
    if (result == platform::download_result::kOk) {
      if (OnDownLoadComplete) OnDownLoadComplete(*this);
    } else {
      if (OnDownLoadError) OnDownLoadError(*this, result);
    }
  } catch (...) {
  }
  FMonitor = nullptr;
  FFinished = true;
}

void TFileDownLoadThread::UpdateProgress(uint32_t Progress, uint32_t ProgressMax) {
  FProgress = Progress;
  FProgressMax = ProgressMax;
  // An error in the window's progress handler belongs to the main thread's error boundary, not to
  // the transfer: it must not end the download.
  try {
    FMainLoop.invokeSync([this] { DoProgress(); });
  } catch (...) {
  }
  if (FTerminated && FMonitor != nullptr) FMonitor->setAbort();
}

void TFileDownLoadThread::DoProgress() {
  if (OnDownLoadProgress) OnDownLoadProgress(*this, FProgress, FProgressMax);
}

}  // namespace qv::download
