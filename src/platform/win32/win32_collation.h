#pragma once
// The list's ordering rule: the user's locale comparison of the texts as ANSI bytes (lstrcmpA).
#include "platform/services.h"

namespace qv::platform::win32 {

class Win32Collation : public Collation {
 public:
  explicit Win32Collation(const Codec& codec) : codec_(codec) {}
  int compare(std::string_view a, std::string_view b) const override;
  std::string sortKey(std::string_view s) const override;

 private:
  const Codec& codec_;
};

}  // namespace qv::platform::win32
