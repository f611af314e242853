#include "unzip/spanned_stream.h"

#include <algorithm>
#include <cstdio>

namespace qv::unzip {

std::string splitPartName(const std::string& zipName, uint32_t part, uint32_t totalParts, TBlockMode mode) {
  if (part >= totalParts) return zipName;
  const size_t slash = zipName.find_last_of("\\/");
  const size_t dot = zipName.find_last_of('.');
  const std::string base = dot != std::string::npos && (slash == std::string::npos || dot > slash) ? zipName.substr(0, dot) : zipName;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, mode == TBlockMode::bmStandard ? ".z%02u" : ".%03u", part);
  return base + suffix;
}

bool SpannedStream::open(const std::vector<std::string>& partNames, std::string* failedName, std::string* error) {
  parts_.clear();
  bases_.clear();
  total_ = 0;
  for (const std::string& name : partNames) {
    NativeFile f;
    if (!f.open(name, NativeFile::Mode::ReadDenyWrite, error)) {
      if (failedName) *failedName = name;
      return false;
    }
    bases_.push_back(total_);
    total_ += std::max<int64_t>(0, f.size());
    parts_.push_back(std::move(f));
  }
  pos_ = 0;
  return true;
}

size_t SpannedStream::read(void* buffer, size_t count) {
  auto* dst = static_cast<unsigned char*>(buffer);
  size_t done = 0;
  while (done < count && pos_ < total_) {
    const auto it = std::upper_bound(bases_.begin(), bases_.end(), pos_);
    const size_t index = static_cast<size_t>(it - bases_.begin()) - 1;
    const int64_t partEnd = index + 1 < bases_.size() ? bases_[index + 1] : total_;
    const size_t want = static_cast<size_t>(std::min<int64_t>(static_cast<int64_t>(count - done), partEnd - pos_));
    if (parts_[index].seek(pos_ - bases_[index], SeekOrigin::Begin) < 0) break;
    const size_t got = parts_[index].read(dst + done, want);
    done += got;
    pos_ += static_cast<int64_t>(got);
    if (got < want) break;
  }
  return done;
}

int64_t SpannedStream::seek(int64_t offset, SeekOrigin origin) {
  const int64_t target = origin == SeekOrigin::Begin ? offset : origin == SeekOrigin::Current ? pos_ + offset : total_ + offset;
  if (target < 0) return -1;
  pos_ = target;
  return pos_;
}

}  // namespace qv::unzip
