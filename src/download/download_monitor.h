#pragma once
// TDownLoadMonitor: the callback object of one running transfer. The platform reports progress to it
// on the worker's own thread; it hands each report to its worker and answers with the abort flag.
#include <cstdint>

namespace qv::download {

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

 private:
  bool FAbort = false;
  TFileDownLoadThread* FDownLoadThread;  // not owned; the worker outlives its transfer
};

}  // namespace qv::download
