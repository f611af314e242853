#pragma once
// Code-page conversion for the native build through iconv. The code pages are settings: by default
// both follow the locale's code set (UTF-8 on Linux, so tools write the names other Linux tools write);
// tests set 950 where Big5 behaviour is under test, and 437 for the MS-DOS OEM page.
#include "platform/services.h"

namespace qv::platform::headless {

// Code page number meaning "UTF-8" (the Windows number for it).
inline constexpr unsigned kUtf8CodePage = 65001;

class IconvCodec : public Codec {
 public:
  IconvCodec();  // both pages from the locale's code set
  IconvCodec(unsigned ansiCodePage, unsigned oemCodePage);

  unsigned ansiCodePage() const override { return ansi_; }
  unsigned oemCodePage() const override { return oem_; }
  void setCodePages(unsigned ansi, unsigned oem) {
    ansi_ = ansi;
    oem_ = oem;
  }

  // Whether iconv can convert from this code page at all (a tool checks its command line with it).
  static bool knows(unsigned codePage);

  std::string utf8ToCodePage(unsigned codePage, std::string_view utf8) const override;
  std::string codePageToUtf8(unsigned codePage, std::string_view bytes) const override;
  bool convertsWithoutLoss(unsigned codePage, std::string_view utf8) const override;

 private:
  unsigned ansi_;
  unsigned oem_;
};

}  // namespace qv::platform::headless
