#pragma once
// The download pool as it stood before its transfers ran on long-lived threads: a worker with a thread
// of its own started for every transfer and joined on the main thread when the transfer's end arrived
// there, one post per end, and the gate's wrappers around each handler. Kept in the benchmark as the
// peer the present pool is measured against; nothing else uses it. The worker and the gate are the
// program's own (a worker resumed by itself still runs on a thread of its own), so only the pool's
// scheduling differs between the two sides.
#include <chrono>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>

#include "download/file_download_thread.h"
#include "download/worker_gate.h"

namespace qv::bench::old_pool {

using download::TDownLoadCompleteEvent;
using download::TDownLoadErrorEvent;
using download::TDownLoadProgressEvent;
using download::TFileDownLoadThread;

class DownloadWorkers {
 public:
  static constexpr size_t kMaxRunning = 6;
  static constexpr std::chrono::milliseconds kShutdownLimit{3000};

  DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop, size_t maxRunning = kMaxRunning);
  ~DownloadWorkers();
  DownloadWorkers(const DownloadWorkers&) = delete;
  DownloadWorkers& operator=(const DownloadWorkers&) = delete;

  // At once when a slot is free and no other transfer is writing its file, else as soon as that is so.
  void start(platform::DownloadRequest request, TDownLoadProgressEvent onProgress, TDownLoadCompleteEvent onComplete,
             TDownLoadErrorEvent onError);

  // Requests started inside a batch begin once the windows have painted after the last batch closes.
  class Batch {
   public:
    explicit Batch(DownloadWorkers& pool) : pool_(pool) { ++pool_.batchDepth_; }
    ~Batch() { pool_.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    DownloadWorkers& pool_;
  };

  size_t running() const { return launched_.size(); }
  size_t waiting() const { return waiting_.size(); }

  // Terminates the running transfers and waits for them, turning the main loop, for at most `limit`;
  // what is still inside the platform then is cut off by shutting the gate.
  bool shutdown(std::chrono::milliseconds limit = kShutdownLimit);

 private:
  struct Request {
    platform::DownloadRequest request;
    std::string fileKey;  // the file as the file system tells files apart
    TDownLoadProgressEvent onProgress;
    TDownLoadCompleteEvent onComplete;
    TDownLoadErrorEvent onError;
  };
  using Workers = std::list<std::unique_ptr<TFileDownLoadThread>>;

  // Main thread: a transfer has ended; its slot and file are free, and its worker is joined and freed.
  void ended(TFileDownLoadThread* worker);
  void startWaiting();
  void launch(Request request);
  void endBatch();

  platform::UrlDownloader& downloader_;
  platform::MainLoop& mainLoop_;
  std::unique_ptr<download::WorkerGate> gate_;
  size_t maxRunning_;
  Workers workers_;
  struct Launched {
    Workers::iterator worker;
    std::string fileKey;
  };
  std::unordered_map<TFileDownLoadThread*, Launched> launched_;
  std::deque<Request> waiting_;
  std::set<std::string> busyFiles_;
  int batchDepth_ = 0;
  bool launchScheduled_ = false;
  // Calls posted by workers check it, so none reaches a pool that is gone.
  std::shared_ptr<DownloadWorkers*> self_;
};

}  // namespace qv::bench::old_pool
