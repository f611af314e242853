#pragma once
// DownloadWorkers: owns every download worker its creator (the main window) starts.
//
// Nobody who starts a transfer waits for it. The pool runs the transfers on a few long-lived threads
// (TransferThreads), each transfer with a worker object of its own that is freed on its thread when
// the transfer has ended; the main thread hears of each end, after the calls its handlers posted, but
// neither starts nor joins a thread for it. When the pool goes (the window closing), it asks the
// running transfers to terminate and keeps the main loop turning until they have ended, because a
// worker may be waiting for the main thread to run its progress handler; then every thread is joined.
// No thread is left behind.
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
// A worker made suspended (or missing a handler) is another matter: start() returns it, it has a
// thread of its own once somebody resumes it, as TFileDownLoadThread says, and the pool holds it until
// reap() finds it ended.
//
// That wait at the end has a limit (see shutdown): a transfer stuck inside the platform reports
// nothing, so it never sees the terminate request, and a closed program must not live on behind it,
// invisible and holding the single-instance guard.
//
// Main thread only. Destroy the pool before whatever its workers' handlers touch (declare it after
// those members, or call shutdown() first).
#include <chrono>
#include <cstddef>
#include <list>
#include <memory>

#include "download/file_download_thread.h"
#include "download/transfer_threads.h"
#include "download/worker_gate.h"

namespace qv::download {

class DownloadWorkers {
 public:
  static constexpr size_t kMaxRunning = 6;
  // How long a thread with nothing to do waits for the next transfer before it ends. The download-all
  // road's transfers follow one another within milliseconds; between refreshes, no threads are kept.
  static constexpr std::chrono::milliseconds kIdleLinger{std::chrono::seconds(20)};

  DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop, size_t maxRunning = kMaxRunning,
                  std::chrono::milliseconds idleLinger = kIdleLinger);
  ~DownloadWorkers();
  DownloadWorkers(const DownloadWorkers&) = delete;
  DownloadWorkers& operator=(const DownloadWorkers&) = delete;

  // Starts a download: at once when a slot is free and no other transfer is writing its file, else as
  // soon as that is so. A request made suspended (or without all three handlers) gets its worker at
  // once, which waits for somebody to resume() it, as TFileDownLoadThread says; that worker is
  // returned. Otherwise nothing is returned: nobody holds on to a worker the pool runs.
  // The request carries the address, the file and the terms of the transfer.
  TFileDownLoadThread* start(platform::DownloadRequest request, TDownLoadProgressEvent onProgress,
                             TDownLoadCompleteEvent onComplete, TDownLoadErrorEvent onError,
                             bool createSuspended = false);
  // Joins and frees suspended workers that somebody resumed and that have ended, and joins the pool's
  // threads that have ended (idle ones, and those a shutdown cut off).
  void reap();

  // While a batch is open, the requests started only queue up; when the last batch closes, they begin
  // (as start() would have begun them) once the windows have painted. The download-all road starts a
  // transfer per row right after refreshing the list, and the list should show before the first
  // transfers' messages come in. Main thread only.
  class Batch {
   public:
    explicit Batch(DownloadWorkers& pool) : pool_(pool) { pool_.beginBatch(); }
    ~Batch() { pool_.endBatch(); }
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

   private:
    DownloadWorkers& pool_;
  };

  // Transfers held (running or ended and not yet heard of, suspended workers, ended ones not yet
  // freed, transfers a shutdown cut off) plus requests waiting their turn.
  size_t size() const { return workers_.size() + threads_.held(); }
  // Transfers started by the pool whose end the main thread has not yet heard of. Heard of means the
  // calls their handlers posted have run.
  size_t running() const { return threads_.running(); }
  size_t waiting() const { return threads_.waiting(); }
  // Forgets the requests that have not started; the running transfers go on to their ends.
  void dropWaiting() { threads_.dropWaiting(); }
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
  using Workers = std::list<std::unique_ptr<TFileDownLoadThread>>;

  void beginBatch();
  void endBatch();
  // Whether a suspended worker that somebody resumed is still inside its transfer.
  bool suspendedWorkerInside() const;

  platform::MainLoop& mainLoop_;
  // Suspended workers reach the main loop and their completion and failure handlers through this gate;
  // the pool's threads through one of their own.
  std::unique_ptr<WorkerGate> gate_;
  platform::UrlDownloader& downloader_;
  TransferThreads threads_;
  Workers workers_;  // suspended workers
  int batchDepth_ = 0;
  bool launchScheduled_ = false;  // a start of the waiting requests is queued for after the paint
  // The call queued for after the paint checks it, so it never reaches a pool that is gone.
  std::shared_ptr<DownloadWorkers*> self_;
};

}  // namespace qv::download
