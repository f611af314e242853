#pragma once
// DownloadWorkers: owns every download worker its creator (the main window) starts.
//
// A worker's object outlives its thread, and nobody who starts one waits for it. The pool keeps each
// worker until its body has ended and frees it at the next start() or reap(), so finished workers do
// not pile up. When the pool goes (the window closing), it asks the running transfers to terminate
// and keeps the main loop turning until they have ended, because a worker may be waiting for the
// main thread to run its progress handler; then every thread is joined. No thread is left behind.
//
// At most a few transfers run at once (as a browser keeps to a few connections per host): a catalogue
// of thousands of add-ons would otherwise mean thousands of threads and sockets. The others wait their
// turn in the order they were started and each still runs, with its handlers, exactly once. Two
// transfers into the same file never run at the same time: the later one waits until the earlier one
// has ended, so an archive is always written by one transfer and replaced whole.
//
// Main thread only. Destroy the pool before whatever its workers' handlers touch (declare it after
// those members, or call shutdown() first).
#include <cstddef>
#include <memory>
#include <set>
#include <vector>

#include "download/file_download_thread.h"

namespace qv::download {

class DownloadWorkers {
 public:
  static constexpr size_t kMaxRunning = 6;

  DownloadWorkers(platform::UrlDownloader& downloader, platform::MainLoop& mainLoop, size_t maxRunning = kMaxRunning);
  ~DownloadWorkers();
  DownloadWorkers(const DownloadWorkers&) = delete;
  DownloadWorkers& operator=(const DownloadWorkers&) = delete;

  // Creates a worker and keeps it. It runs at once when a slot is free and no other transfer is
  // writing its file, else as soon as that is so. A worker created suspended (or without all three
  // handlers) waits for somebody to resume() it, as TFileDownLoadThread says.
  TFileDownLoadThread& start(std::string URL, std::string FileName, TDownLoadProgressEvent OnDownLoadProgress,
                             TDownLoadCompleteEvent OnDownLoadComplete, TDownLoadErrorEvent OnDownLoadError,
                             bool CreateSuspended = false);
  // Joins and frees the workers whose body has ended.
  void reap();
  // Workers held: running, waiting, suspended, or finished and not yet reaped.
  size_t size() const { return workers_.size(); }
  // Transfers started by the pool whose end it has not yet heard of, and those waiting their turn.
  size_t running() const { return running_; }
  size_t waiting() const { return waiting_.size(); }
  // Terminates every running transfer, drops the waiting ones, pumps the main loop until each running
  // one has ended, joins and frees all.
  void shutdown();

 private:
  // Main thread: a transfer the pool started has ended; its slot and its file are free again.
  void ended(const std::string& fileName);
  // Starts waiting workers while slots are free, skipping those whose file is being written.
  void startWaiting();
  void launch(TFileDownLoadThread& worker);

  platform::UrlDownloader& downloader_;
  platform::MainLoop& mainLoop_;
  size_t maxRunning_;
  std::vector<std::unique_ptr<TFileDownLoadThread>> workers_;
  std::vector<TFileDownLoadThread*> waiting_;  // in start order
  std::set<std::string> busyFiles_;
  size_t running_ = 0;
  // Calls posted by workers check it, so none reaches a pool that is gone.
  std::shared_ptr<DownloadWorkers*> self_;
};

}  // namespace qv::download
