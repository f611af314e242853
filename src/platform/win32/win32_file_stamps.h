#pragma once
// Last-write times as MS-DOS local date/times, and the file attribute bits.
#include "platform/services.h"

namespace qv::platform::win32 {

class Win32FileStamps : public FileStamps {
 public:
  bool setDosDateTime(const std::string& path, uint32_t dosDateTime) override;
  uint32_t dosDateTime(const std::string& path) const override;
  bool setAttributes(const std::string& path, uint32_t attributes) override;
  uint32_t attributes(const std::string& path) const override;
};

}  // namespace qv::platform::win32
