#include "platform/win32/win32_codec.h"

#include <windows.h>

#include <climits>

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

unsigned Win32Codec::ansiCodePage() const { return ::GetACP(); }
unsigned Win32Codec::oemCodePage() const { return ::GetOEMCP(); }

std::string Win32Codec::utf8ToCodePage(unsigned codePage, std::string_view utf8) const {
  if (codePage == CP_UTF8) return std::string(utf8);
  const std::wstring wide = toWide(utf8);
  if (wide.empty() || wide.size() > INT_MAX) return {};
  // The UTF-7/8 code pages refuse a default character; every other one takes "?".
  const char* defaultChar = codePage == CP_UTF7 ? nullptr : "?";
  const int len = static_cast<int>(wide.size());
  const int n = ::WideCharToMultiByte(codePage, 0, wide.data(), len, nullptr, 0, defaultChar, nullptr);
  if (n <= 0) return {};
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(codePage, 0, wide.data(), len, out.data(), n, defaultChar, nullptr);
  return out;
}

bool Win32Codec::convertsWithoutLoss(unsigned codePage, std::string_view utf8) const {
  const std::wstring wide = toWide(utf8);
  // Bytes that are not UTF-8 came through as U+FFFD, so the text does not come back the same.
  if (toUtf8(wide) != utf8) return false;
  if (codePage == CP_UTF8 || codePage == CP_UTF7 || wide.empty()) return true;
  if (wide.size() > INT_MAX) return false;
  // Without WC_NO_BEST_FIT_CHARS the system would put a look-alike ("e" for "é") in place of a
  // missing character without saying so; with it, every missing character takes the default
  // character, and the flag tells whether that happened.
  const int len = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  const int n =
      ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  std::string out(static_cast<size_t>(n), '\0');
  if (::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide.data(), len, out.data(), n, nullptr,
                            &usedDefault) != n)
    return false;
  return !usedDefault;
}

std::string Win32Codec::codePageToUtf8(unsigned codePage, std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  const int len = static_cast<int>(bytes.size());
  const int n = ::MultiByteToWideChar(codePage, 0, bytes.data(), len, nullptr, 0);
  if (n <= 0) return {};
  std::wstring wide(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(codePage, 0, bytes.data(), len, wide.data(), n);
  return toUtf8(wide);
}

}  // namespace qv::platform::win32
