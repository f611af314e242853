#include "platform/win32/win32_owner_window.h"

namespace qv::platform::win32 {

namespace {
BOOL CALLBACK findVisibleEnabled(HWND hwnd, LPARAM param) {
  if (::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd) && ::GetWindow(hwnd, GW_OWNER) == nullptr) {
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
  }
  return TRUE;
}
}  // namespace

HWND programOwnerWindow() {
  HWND active = ::GetActiveWindow();
  if (active != nullptr && ::IsWindowVisible(active)) return active;
  HWND found = nullptr;
  ::EnumThreadWindows(::GetCurrentThreadId(), findVisibleEnabled, reinterpret_cast<LPARAM>(&found));
  return found;
}

}  // namespace qv::platform::win32
