#include "platform/win32/win32_collation.h"

#include <windows.h>

namespace qv::platform::win32 {

int Win32Collation::compare(std::string_view a, std::string_view b) const {
  // The comparison is defined on the code page's bytes, so the texts go through it first.
  const std::string ansiA = codec_.toAnsi(a);
  const std::string ansiB = codec_.toAnsi(b);
  return ::lstrcmpA(ansiA.c_str(), ansiB.c_str());
}

// The sort key of the same comparison (the user's locale, no flags), on the same code-page bytes; its
// terminating zero is left out so keys compare as plain byte strings.
std::string Win32Collation::sortKey(std::string_view s) const {
  const std::string ansi = codec_.toAnsi(s);
  const int inLength = static_cast<int>(ansi.size());
  const int size = ::LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, ansi.data(), inLength, nullptr, 0);
  if (size <= 0) return ansi;
  std::string key(static_cast<size_t>(size), '\0');
  ::LCMapStringA(LOCALE_USER_DEFAULT, LCMAP_SORTKEY, ansi.data(), inLength, key.data(), size);
  while (!key.empty() && key.back() == '\0') key.pop_back();
  return key;
}

}  // namespace qv::platform::win32
