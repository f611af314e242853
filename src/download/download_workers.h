#pragma once
// DownloadWorkers: owns every download worker its creator (the main window) starts.
//
// A worker's object outlives its thread, and nobody who starts one waits for it. The pool keeps each
// worker until its body has ended and frees it at the next start() or reap(), so finished workers do
// not pile up. When the pool goes (the window closing), it asks the running transfers to terminate
// and keeps the main loop turning until they have ended, because a worker may be waiting for the
// main thread to run its progress handler; then every thread is joined. No thread is left behind.
//
// Main thread only. Destroy the pool before whatever its workers' handlers touch (declare it after
// those members, or call shutdown() first).
#include <cstddef>
#include <memory>
#include <vector>

#include "download/file_download_thread.h"

namespace qv::download {

class DownloadWorkers {
 public:
  DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop);
  ~DownloadWorkers();
  DownloadWorkers(const DownloadWorkers&) = delete;
  DownloadWorkers& operator=(const DownloadWorkers&) = delete;

  // Creates a worker (running at once unless suspended, see TFileDownLoadThread) and keeps it.
  TFileDownLoadThread& start(std::string URL, std::string FileName, TDownLoadProgressEvent OnDownLoadProgress,
                             TDownLoadCompleteEvent OnDownLoadComplete, TDownLoadErrorEvent OnDownLoadError,
                             bool CreateSuspended = false);
  // Joins and frees the workers whose body has ended.
  void reap();
  // Workers held: running, suspended, or finished and not yet reaped.
  size_t size() const { return workers_.size(); }
  // Terminates every running transfer, pumps the main loop until each has ended, joins and frees all.
  void shutdown();

 private:
  platform::UrlDownloader& downloader_;
  platform::MainLoop& mainLoop_;
  std::vector<std::unique_ptr<TFileDownLoadThread>> workers_;
};

}  // namespace qv::download
