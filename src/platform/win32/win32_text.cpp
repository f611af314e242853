#include "platform/win32/win32_text.h"

#include <climits>

#include "common/file_system.h"

namespace qv::platform::win32 {

std::wstring toWide(std::string_view utf8) {
  if (utf8.empty() || utf8.size() > INT_MAX) return {};
  const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
  return out;
}

std::string toUtf8(std::wstring_view wide) {
  if (wide.empty() || wide.size() > INT_MAX) return {};
  const int n = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr,
                        nullptr);
  return out;
}

std::wstring toWidePath(std::string_view utf8) {
  // Relative paths cannot take the "\\?\" prefix; they keep the classic length limit.
  return toWide(files::longPathForm(utf8));
}

std::wstring windowTextW(HWND hwnd) {
  const int n = ::GetWindowTextLengthW(hwnd);
  if (n <= 0) return {};
  std::wstring out(static_cast<size_t>(n) + 1, L'\0');
  const int got = ::GetWindowTextW(hwnd, out.data(), n + 1);
  out.resize(static_cast<size_t>(got > 0 ? got : 0));
  return out;
}

}  // namespace qv::platform::win32
