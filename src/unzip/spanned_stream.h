#pragma once
// A multi-part archive on fixed disks seen as one stream: the parts are files beside the archive,
// laid end to end, so a record or an entry's data that run past the end of one part simply continue
// in the next. Offsets the archive stores per part are turned into stream positions by partBase.
#include <string>
#include <vector>

#include "unzip/native_file.h"

namespace qv::unzip {

enum class TBlockMode { bmStandard, bmClassic };

// The file name of part `part` (1-based) of `totalParts` for the archive `zipName` (which is the last
// part): bmStandard "name.z01", "name.z02", ...; bmClassic "name.001", "name.002", ...
std::string splitPartName(const std::string& zipName, uint32_t part, uint32_t totalParts, TBlockMode mode);

class SpannedStream : public Stream {
 public:
  // Opens every part; false with the failing part's name and the system's reason when one is missing.
  bool open(const std::vector<std::string>& partNames, std::string* failedName, std::string* error);
  int64_t partBase(uint32_t disk) const { return disk < bases_.size() ? bases_[disk] : total_; }

  size_t read(void* buffer, size_t count) override;
  size_t write(const void*, size_t) override { return 0; }
  int64_t seek(int64_t offset, SeekOrigin origin) override;

 private:
  std::vector<NativeFile> parts_;
  std::vector<int64_t> bases_;
  int64_t total_ = 0;
  int64_t pos_ = 0;
};

}  // namespace qv::unzip
