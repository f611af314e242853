#include "pool/old_download_workers.h"

#include <algorithm>
#include <chrono>
#include <limits>
#include <memory>
#include <thread>

#include "common/file_name_key.h"

namespace qv::bench::old_pool {

WorkerGate::Pass::Pass(WorkerGate& gate) : gate_(gate) {
  std::lock_guard lock(gate_.mutex_);
  open_ = !gate_.closed_;
  if (open_) ++gate_.inside_;
}

WorkerGate::Pass::~Pass() {
  if (!open_) return;
  std::lock_guard lock(gate_.mutex_);
  --gate_.inside_;
}

void WorkerGate::post(std::function<void()> call) {
  Pass pass(*this);
  if (pass) loop_.post(std::move(call));
}

void WorkerGate::invokeSync(std::function<void()> call) {
  Pass pass(*this);
  if (pass) loop_.invokeSync(std::move(call));
}

bool WorkerGate::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

void WorkerGate::close() {
  {
    std::lock_guard lock(mutex_);
    closed_ = true;
  }
  for (;;) {
    {
      std::lock_guard lock(mutex_);
      if (inside_ == 0) return;
    }
    loop_.processMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

namespace {
// The window's progress figures are 32-bit; larger counts stop at the largest value rather than
// wrapping, so a bar never runs backwards.
uint32_t saturate32(uint64_t v) {
  constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(v > kMax ? kMax : v);
}
}  // namespace

bool TDownLoadMonitor::OnProgress(uint64_t progress, uint64_t progressMax) {
  if (FDownLoadThread != nullptr) FDownLoadThread->UpdateProgress(saturate32(progress), saturate32(progressMax));
  return !FAbort;
}

TFileDownLoadThread::TFileDownLoadThread(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                                         platform::DownloadRequest request, TDownLoadProgressEvent onProgress,
                                         TDownLoadCompleteEvent onComplete, TDownLoadErrorEvent onError,
                                         bool CreateSuspended)
    : downloader_(downloader),
      mainLoop_(mainLoop),
      FURL(std::move(request.url)),
      FFileName(std::move(request.filePath)),
      terms_(std::move(request.terms)),
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
  std::lock_guard lock(threadLock_);
  if (thread_.joinable() || finished_) return;
  thread_ = std::thread([this] { Execute(); });
}

bool TFileDownLoadThread::suspended() const {
  std::lock_guard lock(threadLock_);
  return !thread_.joinable() && !finished_;
}

void TFileDownLoadThread::waitFor() {
  std::lock_guard lock(threadLock_);
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
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
      result = downloader_.download({FURL, FFileName, terms_}, progress);
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
  try {
    if (onEnded_) onEnded_();
  } catch (...) {
  }
  finished_ = true;
}

void TFileDownLoadThread::UpdateProgress(uint32_t Progress, uint32_t ProgressMax) {
  FProgress = Progress;
  FProgressMax = ProgressMax;
  // An error in the window's progress handler belongs to the main thread's error boundary, not to
  // the transfer: it must not end the download.
  try {
    mainLoop_.invokeSync([this] { DoProgress(); });
  } catch (...) {
  }
  if (terminated_ && FMonitor != nullptr) FMonitor->setAbort();
}

void TFileDownLoadThread::DoProgress() {
  if (OnDownLoadProgress) OnDownLoadProgress(*this, FProgress, FProgressMax);
}

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

}  // namespace qv::bench::old_pool
