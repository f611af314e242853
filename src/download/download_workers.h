#pragma once
// DownloadWorkers: owns every download worker its creator (the main window) starts.
//
// A worker's object outlives its thread, and nobody who starts one waits for it. The pool keeps each
// worker until its body has ended and frees it as soon as the main thread hears of that (or at the
// next reap() for workers somebody else resumed), so finished workers do not pile up. When the pool
// goes (the window closing), it asks the running transfers to terminate and keeps the main loop
// turning until they have ended, because a worker may be waiting for the main thread to run its
// progress handler; then every thread is joined. No thread is left behind.
//
// At most a few transfers run at once (as a browser keeps to a few connections per host): a catalogue
// of thousands of add-ons would otherwise mean thousands of threads and sockets. The others wait their
// turn in the order they were started, as a request only (the worker is made when its turn comes), and
// each still runs, with its handlers, exactly once. Two transfers into the same file never run at the
// same time: the later one waits until the earlier one has ended, so an archive is always written by
// one transfer and replaced whole. "The same file" is as the file system sees it: on Windows,
// "zip\Foo.zip" and "zip\foo.zip" are one file. Every step costs the same whatever the number of
// workers: a refresh starts one transfer per row of catalogues of many thousands.
//
// That wait at the end has a limit (see shutdown): a transfer stuck inside the platform reports
// nothing, so it never sees the terminate request, and a closed program must not live on behind it,
// invisible and holding the single-instance guard.
//
// Main thread only. Destroy the pool before whatever its workers' handlers touch (declare it after
// those members, or call shutdown() first).
#include <chrono>
#include <cstddef>
#include <deque>
#include <list>
#include <memory>
#include <set>
#include <unordered_map>

#include "download/file_download_thread.h"
#include "download/worker_gate.h"

namespace qv::download {

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

}  // namespace qv::download
