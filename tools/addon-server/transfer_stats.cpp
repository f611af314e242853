#include "transfer_stats.h"

#include <cstdio>

namespace addon_server {
namespace {

std::string escaped(const std::string& path) {
  std::string out;
  for (unsigned char c : path) {
    if (c <= 0x20 || c >= 0x7F || c == '%') {
      char hex[4];
      std::snprintf(hex, sizeof hex, "%%%02X", c);
      out += hex;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace

void TransferStats::record(const std::string& path, uint64_t bodyBytes) {
  std::lock_guard lock(mutex_);
  ++total_.requests;
  total_.bytes += bodyBytes;
  Counts& counts = paths_[path];
  ++counts.requests;
  counts.bytes += bodyBytes;
}

std::string TransferStats::report() const {
  std::lock_guard lock(mutex_);
  return reportLocked();
}

std::string TransferStats::reset() {
  std::lock_guard lock(mutex_);
  std::string out = reportLocked();
  total_ = {};
  paths_.clear();
  return out;
}

std::string TransferStats::reportLocked() const {
  std::string out =
      "requests " + std::to_string(total_.requests) + "\nbody_bytes " + std::to_string(total_.bytes) + "\n";
  for (const auto& [path, counts] : paths_)
    out += escaped(path) + " " + std::to_string(counts.requests) + " " + std::to_string(counts.bytes) + "\n";
  return out;
}

}  // namespace addon_server
