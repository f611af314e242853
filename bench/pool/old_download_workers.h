#pragma once
// The download pool as it stood before its transfers ran on long-lived threads: a std::thread started
// for every transfer and joined on the main thread when the transfer's end arrived there, one post per
// end, and the gate's wrappers around each handler. A copy kept in the benchmark as the peer the
// present pool is measured against; nothing else uses it.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/main_loop.h"
#include "platform/url_download.h"

namespace qv::bench::old_pool {

class WorkerGate final : public platform::MainLoop {
 public:
  explicit WorkerGate(platform::MainLoop& loop) : loop_(loop) {}

  // Workers only hand calls over; running and quitting the loop stay with its owner.
  void run() override {}
  void quit() override {}
  void processMessages() override {}
  void post(std::function<void()> call) override;
  void invokeSync(std::function<void()> call) override;

  // The handler, called only while the gate is open. An empty handler stays empty, so a worker
  // missing one still stays suspended.
  template <class... Args>
  std::function<void(Args...)> guard(std::function<void(Args...)> handler) {
    if (!handler) return {};
    return [this, handler = std::move(handler)](Args... args) {
      Pass pass(*this);
      if (pass) handler(args...);
    };
  }

  // Main thread only.
  void close();
  bool closed() const;

 private:
  // One call through the gate, counted while it runs so close() can wait for it.
  class Pass {
   public:
    explicit Pass(WorkerGate& gate);
    ~Pass();
    Pass(const Pass&) = delete;
    Pass& operator=(const Pass&) = delete;
    explicit operator bool() const { return open_; }

   private:
    WorkerGate& gate_;
    bool open_;
  };

  platform::MainLoop& loop_;
  mutable std::mutex mutex_;
  bool closed_ = false;
  int inside_ = 0;
};

class TFileDownLoadThread;

class TDownLoadMonitor {
 public:
  explicit TDownLoadMonitor(TFileDownLoadThread* downLoadThread) : FDownLoadThread(downLoadThread) {}

  // One progress report: bytes so far and total bytes (0 while no size is known). Every report is
  // forwarded. False is the abort answer, which makes the platform end the transfer as a failure.
  bool OnProgress(uint64_t progress, uint64_t progressMax);

  // Set by the worker after a report when it has been asked to terminate. Only the worker thread
  // touches the flag: the platform calls the monitor on the thread that started the download.
  void setAbort() { FAbort = true; }
  bool aborting() const { return FAbort; }

 private:
  bool FAbort = false;
  TFileDownLoadThread* FDownLoadThread;  // not owned; the worker outlives its transfer
};

class TFileDownLoadThread;

using TDownLoadProgressEvent =
    std::function<void(TFileDownLoadThread& Sender, uint32_t Progress, uint32_t ProgressMax)>;
using TDownLoadCompleteEvent = std::function<void(TFileDownLoadThread& Sender)>;
using TDownLoadErrorEvent = std::function<void(TFileDownLoadThread& Sender, int32_t ErrorCode)>;

class TFileDownLoadThread {
 public:
  // When any handler is missing the worker is created suspended whatever CreateSuspended says, and
  // its transfer runs only if somebody calls resume().
  // The request's address and file become FURL and FFileName.
  TFileDownLoadThread(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop,
                      platform::DownloadRequest request, TDownLoadProgressEvent OnDownLoadProgress,
                      TDownLoadCompleteEvent OnDownLoadComplete, TDownLoadErrorEvent OnDownLoadError,
                      bool CreateSuspended);
  // Asks a running transfer to terminate and joins the thread (see the note above).
  ~TFileDownLoadThread();
  TFileDownLoadThread(const TFileDownLoadThread&) = delete;
  TFileDownLoadThread& operator=(const TFileDownLoadThread&) = delete;

  // Starts a suspended worker; does nothing for one already started. Any thread.
  void resume();
  // The terminate request: the transfer aborts at its next progress report. Any thread.
  void terminate() { terminated_ = true; }
  bool terminated() const { return terminated_; }
  bool suspended() const;
  // True once the body has ended (after its completion or failure handler returned).
  bool finished() const { return finished_; }
  // Waits for the body to end. Never call it on the main thread while the transfer may report.
  void waitFor();
  // Called on the worker's thread as the body's last act, after the completion or failure handler
  // (also when a handler threw). Set before the worker is started; it must not block.
  void setOnEnded(std::function<void()> onEnded) { onEnded_ = std::move(onEnded); }
  // Whether the three handlers are all set (a worker without them never starts by itself).
  bool handlersComplete() const { return OnDownLoadProgress && OnDownLoadComplete && OnDownLoadError; }

  const std::string& url() const { return FURL; }
  const std::string& fileName() const { return FFileName; }

  // Called by the monitor on the worker thread for each report: stores the figures, runs DoProgress
  // on the main thread and waits for it, then passes a terminate request on as the abort flag.
  void UpdateProgress(uint32_t Progress, uint32_t ProgressMax);

 private:
  void Execute();
  void DoProgress();

  platform::UrlDownloader& downloader_;
  platform::MainLoop& mainLoop_;

  std::string FURL;
  std::string FFileName;
  platform::DownloadTerms terms_;
  // Written on the worker thread before the main-thread hand-off and read inside it; the hand-off
  // itself orders the two.
  uint32_t FProgress = 0;
  uint32_t FProgressMax = 0;
  TDownLoadProgressEvent OnDownLoadProgress;
  TDownLoadCompleteEvent OnDownLoadComplete;
  TDownLoadErrorEvent OnDownLoadError;
  TDownLoadMonitor* FMonitor = nullptr;  // worker thread only; not owned
  std::function<void()> onEnded_;

  std::atomic<bool> terminated_{false};
  std::atomic<bool> finished_{false};
  mutable std::mutex threadLock_;  // guards starting and joining thread_
  std::thread thread_;
};

class DownloadWorkers {
 public:
  static constexpr size_t kMaxRunning = 6;

  DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop, size_t maxRunning = kMaxRunning);
  ~DownloadWorkers();
  DownloadWorkers(const DownloadWorkers&) = delete;
  DownloadWorkers& operator=(const DownloadWorkers&) = delete;

  // Starts a download: at once when a slot is free and no other transfer is writing its file, else as
  // soon as that is so. A request made suspended (or without all three handlers) gets its worker at
  // once, which waits for somebody to resume() it, as TFileDownLoadThread says; that worker is
  // returned. Otherwise nothing is returned: nobody holds on to a worker the pool runs.
  // The request carries the address, the file and the terms of the transfer.
  TFileDownLoadThread* start(platform::DownloadRequest request, TDownLoadProgressEvent OnDownLoadProgress,
                             TDownLoadCompleteEvent OnDownLoadComplete, TDownLoadErrorEvent OnDownLoadError,
                             bool CreateSuspended = false);
  // Joins and frees suspended workers that somebody resumed and that have ended.
  void reap();

  // While a batch is open, the requests started only queue up; when the last batch closes, they begin
  // (as start() would have begun them) once the windows have painted. The download-all road starts a
  // transfer per row right after refreshing the list, and the list should show before the first
  // transfers' messages come in. Main thread only.
  class Batch {
   public:
    explicit Batch(DownloadWorkers& pool) : pool_(pool) { ++pool_.batchDepth_; }
    ~Batch() { pool_.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    DownloadWorkers& pool_;
  };

  // Workers held (running, suspended, or ended and not yet freed) plus requests waiting their turn.
  size_t size() const { return workers_.size() + waiting_.size(); }
  // Transfers started by the pool whose end it has not yet heard of, and requests waiting their turn.
  size_t running() const { return launched_.size(); }
  size_t waiting() const { return waiting_.size(); }
  // Forgets the requests that have not started; the running transfers go on to their ends.
  void dropWaiting() { waiting_.clear(); }
  // How long shutdown waits by default: a transfer that moves at all answers the terminate request at
  // its next progress report, well within this.
  static constexpr std::chrono::milliseconds kShutdownLimit{3000};

  // Terminates every running transfer, drops the waiting requests, pumps the main loop until each
  // running one has ended, joins and frees all; true then. A worker still inside the platform when
  // `limit` has passed is cut off instead: the pool shuts the gate between its workers and the program
  // (after any progress hand-off or handler already under way has returned), so no worker reaches the
  // main loop or a handler again; such a worker only ends its own transfer. It stays held (reap()
  // frees it once its thread has ended), the result is false, and the pool takes no new requests.
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

  // Main thread: a transfer the pool started has ended; its slot and its file are free again, and the
  // worker (whose thread is returning) is joined and freed.
  void ended(TFileDownLoadThread* worker);
  // Starts waiting requests while slots are free, passing over those whose file is being written.
  void startWaiting();
  void launch(Request request);
  void endBatch();

  platform::UrlDownloader& downloader_;
  platform::MainLoop& mainLoop_;
  // Every worker reaches the main loop and its completion and failure handlers through the gate.
  std::unique_ptr<WorkerGate> gate_;
  size_t maxRunning_;
  Workers workers_;
  struct Launched {
    Workers::iterator worker;
    std::string fileKey;
  };
  std::unordered_map<TFileDownLoadThread*, Launched> launched_;          // started by the pool, not yet ended
  std::deque<Request> waiting_;                                          // in start order
  std::set<std::string> busyFiles_;                                      // file keys of the transfers running
  int batchDepth_ = 0;
  bool launchScheduled_ = false;  // a start of the waiting requests is queued for after the paint
  // Calls posted by workers check it, so none reaches a pool that is gone.
  std::shared_ptr<DownloadWorkers*> self_;
};

}  // namespace qv::bench::old_pool
