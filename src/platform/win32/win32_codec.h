#pragma once
// The system's own ANSI and OEM code pages, converted by the system.
#include "platform/services.h"

namespace qv::platform::win32 {

class Win32Codec : public Codec {
 public:
  unsigned ansiCodePage() const override;
  unsigned oemCodePage() const override;
  std::string utf8ToCodePage(unsigned codePage, std::string_view utf8) const override;
  std::string codePageToUtf8(unsigned codePage, std::string_view bytes) const override;
  bool convertsWithoutLoss(unsigned codePage, std::string_view utf8) const override;
};

}  // namespace qv::platform::win32
