#include "download/download_monitor.h"

#include <limits>

#include "download/file_download_thread.h"

namespace qv::download {

namespace {
// The window's progress figures are 32-bit; larger counts stop at the largest value rather than
// wrapping, so a bar never runs backwards.
uint32_t saturate32(uint64_t v) {
  constexpr uint64_t kMax = std::numeric_limits<uint32_t>::max();
  return static_cast<uint32_t>(v > kMax ? kMax : v);
}
}  // namespace

bool TDownLoadMonitor::OnProgress(uint64_t progress, uint64_t progressMax) {
  if (FDownLoadThread != nullptr) FDownLoadThread->UpdateProgress(saturate32(progress), saturate32(progressMax));
  return !FAbort;
}

}  // namespace qv::download
