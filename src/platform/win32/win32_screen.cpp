#include "platform/win32/win32_screen.h"

#include <windows.h>

#include "platform/win32/win32_form.h"

namespace qv::platform::win32 {

namespace {
HWND windowOf(const Form& form) {
  const auto* native = dynamic_cast<const Win32Form*>(&form);
  return native != nullptr ? native->hwnd() : nullptr;
}
}  // namespace

int Win32Screen::width() const {
  return ::GetSystemMetrics(SM_CXSCREEN);
}

int Win32Screen::height() const {
  return ::GetSystemMetrics(SM_CYSCREEN);
}

Rect Win32Screen::formBounds(const Form& form) const {
  RECT r{};
  HWND hwnd = windowOf(form);
  if (hwnd == nullptr || !::GetWindowRect(hwnd, &r)) return Rect{};
  return Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void Win32Screen::moveForm(Form& form, int left, int top) {
  HWND hwnd = windowOf(form);
  if (hwnd != nullptr)
    ::SetWindowPos(hwnd, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace qv::platform::win32
