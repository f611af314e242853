#include "platform/win32/panel_window.h"

#include "platform/win32/child_host.h"
#include "platform/win32/child_window.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr wchar_t kClass[] = L"QuorvanePanel";

ChildHost* hostOf(HWND hwnd) { return reinterpret_cast<ChildHost*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA)); }

// A panel with a caption shows it centred, as panels do.
void paintCaption(HWND hwnd) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd, &ps);
  const std::wstring text = windowTextW(hwnd);
  if (!text.empty()) {
    RECT r{};
    ::GetClientRect(hwnd, &r);
    HGDIOBJ old = ::SelectObject(dc, reinterpret_cast<HGDIOBJ>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
    ::DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    ::SelectObject(dc, old);
  }
  ::EndPaint(hwnd, &ps);
}

LRESULT handle(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (LRESULT routed = 0; routeChildMessage(hwnd, msg, wp, lp, routed)) return routed;
  switch (msg) {
    case WM_SIZE:
      if (ChildHost* host = hostOf(hwnd)) host->layout();
      return 0;
    case WM_SETFONT:
      ::SetPropW(hwnd, L"Quorvane.Font", reinterpret_cast<HANDLE>(wp));
      return 0;
    case WM_GETFONT:
      return reinterpret_cast<LRESULT>(::GetPropW(hwnd, L"Quorvane.Font"));
    case WM_SETTEXT: {
      const LRESULT result = ::DefWindowProcW(hwnd, msg, wp, lp);
      ::InvalidateRect(hwnd, nullptr, TRUE);
      return result;
    }
    case WM_PAINT:
      paintCaption(hwnd);
      return 0;
    case WM_NCDESTROY:
      ::RemovePropW(hwnd, L"Quorvane.Font");
      setPanelHost(hwnd, nullptr);
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK panelProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // The layer's own failures (out of memory) must not unwind through the system's code.
  try {
    return handle(hwnd, msg, wp, lp);
  } catch (...) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}
}  // namespace

const wchar_t* panelWindowClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = panelProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpszClassName = kClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  return kClass;
}

void setPanelHost(HWND panel, ChildHost* host) {
  ::SetWindowLongPtrW(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(host));
}

}  // namespace qv::platform::win32
