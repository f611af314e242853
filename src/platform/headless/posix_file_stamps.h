#pragma once
// File times and attributes on Linux: the MS-DOS date/time is taken as local time; of the Windows
// attributes only read-only has a meaning here (no write permission bits).
#include "platform/services.h"

namespace qv::platform::headless {

class PosixFileStamps : public FileStamps {
 public:
  bool setDosDateTime(const std::string& path, uint32_t dosDateTime) override;
  uint32_t dosDateTime(const std::string& path) const override;
  bool setAttributes(const std::string& path, uint32_t attributes) override;
  uint32_t attributes(const std::string& path) const override;
};

}  // namespace qv::platform::headless
