// Windows matches file names case-insensitively, by the system's upper-case table applied to each
// UTF-16 unit: that is CompareStringOrdinal with bIgnoreCase, and LCMapStringEx with LCMAP_UPPERCASE
// in the invariant locale maps a text by the same table (no linguistic casing, no change of length).
// The key is the name so mapped, back in UTF-8.
#include "common/file_name_key.h"

#include <windows.h>

#include <algorithm>
#include <string>

namespace qv::files {

namespace {

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::wstring toWide(std::string_view utf8) {
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n > 0 ? n : 0), L'\0');
  if (n > 0) ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string toUtf8(std::wstring_view wide) {
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
  if (n > 0)
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                          nullptr);
  return out;
}

}  // namespace

std::string fileNameKey(std::string_view utf8) {
  // Most names are ASCII, where the table is plain ASCII upper-casing (the two characters outside
  // ASCII whose capitals are ASCII letters are not ASCII themselves, so they take the long road).
  if (isAscii(utf8)) {
    std::string key(utf8);
    for (char& c : key)
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return key;
  }
  const std::wstring wide = toWide(utf8);
  if (wide.empty()) return std::string(utf8);
  std::wstring upper(wide.size(), L'\0');
  const int n =
      ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                      upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return std::string(utf8);
  upper.resize(static_cast<size_t>(n));
  return toUtf8(upper);
}

}  // namespace qv::files
