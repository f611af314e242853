#include "download/waiting_transfers.h"

namespace qv::download {

std::optional<TransferRequest> WaitingTransfers::takeNext() {
  for (auto it = waiting_.begin(); it != waiting_.end(); ++it) {
    if (writing_.contains(it->fileKey)) continue;
    writing_.insert(it->fileKey);
    TransferRequest next = std::move(*it);
    waiting_.erase(it);
    return next;
  }
  return std::nullopt;
}

void WaitingTransfers::putBack(TransferRequest request) {
  writing_.erase(request.fileKey);
  waiting_.push_front(std::move(request));
}

}  // namespace qv::download
