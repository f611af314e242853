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

namespace {

// Converts `bytes` with `flags`; false when the system refuses (with MB_ERR_INVALID_CHARS: when any
// character does not convert).
bool toWideWith(unsigned codePage, DWORD flags, std::string_view bytes, std::wstring& out) {
  const int len = static_cast<int>(bytes.size());
  const int n = ::MultiByteToWideChar(codePage, flags, bytes.data(), len, nullptr, 0);
  if (n <= 0) return false;
  out.assign(static_cast<size_t>(n), L'\0');
  return ::MultiByteToWideChar(codePage, flags, bytes.data(), len, out.data(), n) == n;
}

}  // namespace

std::string Win32Codec::codePageToUtf8(unsigned codePage, std::string_view bytes) const {
  if (bytes.empty() || bytes.size() > INT_MAX) return {};
  std::wstring wide;
  if (toWideWith(codePage, MB_ERR_INVALID_CHARS, bytes, wide)) return toUtf8(wide);
  CPINFO info{};
  if (::GetLastError() == ERROR_INVALID_FLAGS || !::GetCPInfo(codePage, &info) || info.MaxCharSize != 2) {
    // Code pages that take no strictness, and single-byte ones: the system's own replacement.
    return toWideWith(codePage, 0, bytes, wide) ? toUtf8(wide) : std::string();
  }
  // Some character does not convert. Go character by character: a lead byte and the trail byte after
  // it stay one character even when the pair has no mapping, so a trail byte of 0x5C never stands
  // alone as "\" (GBK names read as Big5); what does not convert becomes U+FFFD.
  wide.clear();
  std::wstring one;
  for (size_t i = 0; i < bytes.size();) {
    size_t length = 1;
    if (i + 1 < bytes.size() && ::IsDBCSLeadByteEx(codePage, static_cast<BYTE>(bytes[i])) &&
        static_cast<unsigned char>(bytes[i + 1]) >= 0x40)
      length = 2;
    if (toWideWith(codePage, MB_ERR_INVALID_CHARS, bytes.substr(i, length), one))
      wide += one;
    else
      wide += L'\xFFFD';
    i += length;
  }
  return toUtf8(wide);
}

}  // namespace qv::platform::win32
