#pragma once
// WaitingTransfers: the requests of the download pool that wait for a thread, in the order they were
// started, and the files being written by the transfers under way. A request whose file is being
// written keeps its place while the ones behind it may go first, so one file is only ever written by
// one transfer at a time. Not synchronised: the pool guards it with its own lock.
#include <deque>
#include <optional>
#include <string>
#include <unordered_set>

#include "download/file_download_thread.h"

namespace qv::download {

// One transfer as start() was given it, until a thread takes it.
struct TransferRequest {
  platform::DownloadRequest request;
  std::string fileKey;  // the file as the file system tells files apart
  TDownLoadProgressEvent onProgress;
  TDownLoadCompleteEvent onComplete;
  TDownLoadErrorEvent onError;
};

class WaitingTransfers {
 public:
  void push(TransferRequest request) { waiting_.push_back(std::move(request)); }
  // Takes back the request pushed last.
  void dropLast() { waiting_.pop_back(); }
  // Gives back a request takeNext() gave out and that could not run: first in line again, and its
  // file no longer counted as written.
  void putBack(TransferRequest request);
  // The first request in start order whose file nobody is writing; its file counts as written from
  // now until finished() is told of it.
  std::optional<TransferRequest> takeNext();
  // The transfer into `fileKey` has ended; the next request for that file may go.
  void finished(const std::string& fileKey) { writing_.erase(fileKey); }
  // Whether a request for this file would have to wait for another transfer.
  bool writing(const std::string& fileKey) const { return writing_.contains(fileKey); }

  size_t size() const { return waiting_.size(); }
  bool empty() const { return waiting_.empty(); }
  // Forgets the requests; the files being written stay so until their transfers end.
  void clear() { waiting_.clear(); }
  // Forgets everything, for a pool whose transfers have all ended.
  void reset() {
    waiting_.clear();
    writing_.clear();
  }

 private:
  std::deque<TransferRequest> waiting_;
  std::unordered_set<std::string> writing_;
};

}  // namespace qv::download
