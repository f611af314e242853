#pragma once
// TFileDownLoadThread: fetches one URL into one local file on a thread of its own, or on the thread
// that runs it (runHere: the download pool's long-lived threads run their transfers one after another
// that way, a worker object each).
//
// The transfer keeps to the terms of its request (the resource's byte cap and time bounds, and an
// acceptance check of the whole body, if any): a transfer that breaks them ends as a failure, through
// the failure handler, and the file keeps what it held.
//
// Progress reports are handed to the main thread one by one, and the worker waits there until its
// creator's progress handler has returned. The completion and failure handlers run on the worker's
// own thread; a handler that touches windows or shared state brings itself onto the main thread.
//
// The worker object outlives its thread. It must not be destroyed on the main thread while its
// transfer runs, because the transfer may be waiting for that very thread; DownloadWorkers owns the
// program's workers and ends them safely.
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "download/download_monitor.h"
#include "platform/main_loop.h"
#include "platform/url_download.h"

namespace qv::download {

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
  // Runs the body of a suspended worker on the calling thread and returns when it has ended; does
  // nothing for one already started. The worker then has no thread of its own to join.
  void runHere();
  // The terminate request: the transfer aborts at its next progress report. Any thread.
  void terminate() { FTerminated = true; }
  bool terminated() const { return FTerminated; }
  bool suspended() const;
  // True once the body has ended (after its completion or failure handler returned).
  bool finished() const { return FFinished; }
  // Waits for the body to end. Never call it on the main thread while the transfer may report.
  void waitFor();
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

  // The worker's fields keep the names the rest of the program knows them by (FURL, FProgress, ...);
  // the ones it adds are written in the same voice.

  platform::UrlDownloader& FDownloader;
  platform::MainLoop& FMainLoop;

  std::string FURL;
  std::string FFileName;
  platform::DownloadTerms FTerms;
  // Written on the worker thread before the main-thread hand-off and read inside it; the hand-off
  // itself orders the two.
  uint32_t FProgress = 0;
  uint32_t FProgressMax = 0;
  TDownLoadProgressEvent OnDownLoadProgress;
  TDownLoadCompleteEvent OnDownLoadComplete;
  TDownLoadErrorEvent OnDownLoadError;
  TDownLoadMonitor* FMonitor = nullptr;  // worker thread only; not owned

  std::atomic<bool> FTerminated{false};
  std::atomic<bool> FFinished{false};
  mutable std::mutex FThreadLock;  // guards starting and joining FThread, and FStarted
  bool FStarted = false;           // resumed or run here
  std::thread FThread;
};

}  // namespace qv::download
