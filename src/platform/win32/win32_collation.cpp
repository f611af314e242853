#include "platform/win32/win32_collation.h"

#include <windows.h>

namespace qv::platform::win32 {

int Win32Collation::compare(std::string_view a, std::string_view b) const {
  // The comparison is defined on the code page's bytes, so the texts go through it first.
  const std::string ansiA = codec_.toAnsi(a);
  const std::string ansiB = codec_.toAnsi(b);
  return ::lstrcmpA(ansiA.c_str(), ansiB.c_str());
}

}  // namespace qv::platform::win32
