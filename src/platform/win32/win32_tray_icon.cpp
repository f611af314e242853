#include "platform/win32/win32_tray_icon.h"

#include <shellapi.h>

#include <algorithm>
#include <climits>
#include <stdexcept>

#include "platform/error_boundary.h"
#include "platform/win32/resources/resource_ids.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr wchar_t kClass[] = L"QuorvaneTrayIcon";
constexpr UINT_PTR kSingleClickTimer = 1;

void registerClass(WNDPROC proc) {
  static const bool registered = [proc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = kClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
}

// The record the shell knows the icon by. The version-2 size is the one that carries the balloon
// fields and is understood by every shell since; the icon uses nothing newer.
NOTIFYICONDATAW record(HWND window, UINT flags) {
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = window;
  data.uID = Win32TrayIcon::kIconId;
  data.uFlags = flags;
  return data;
}

// Copies as much of `utf8` as `capacity` UTF-16 units hold with the terminating null, never ending
// on the first half of a surrogate pair.
template <size_t capacity>
void copyCut(wchar_t (&field)[capacity], const std::string& utf8) {
  const std::wstring wide = toWide(utf8);
  size_t n = std::min(wide.size(), capacity - 1);
  if (n > 0 && n < wide.size() && IS_HIGH_SURROGATE(wide[n - 1])) --n;
  std::copy_n(wide.begin(), n, field);
  field[n] = L'\0';
}

DWORD infoFlags(BalloonIcon icon) {
  switch (icon) {
    case BalloonIcon::Information:
      return NIIF_INFO;
    case BalloonIcon::Warning:
      return NIIF_WARNING;
    case BalloonIcon::Error:
      return NIIF_ERROR;
    case BalloonIcon::None:
      break;
  }
  return NIIF_NONE;
}
}  // namespace

Win32TrayIcon::Win32TrayIcon(UiContext& ctx, MenuCommands& commands) : ctx_(ctx), commands_(commands) {
  registerClass(windowProc);
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // A tool window never gets a task-bar button, should anything ever show it.
  ::CreateWindowExW(WS_EX_TOOLWINDOW, kClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
  if (!window_.valid()) throw std::runtime_error("cannot make the tray icon's window");
  icon_ = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(QV_RESOURCE_PROGRAM_ICON), IMAGE_ICON,
                                          ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                          LR_SHARED));
  taskbarCreated_ = ::RegisterWindowMessageW(L"TaskbarCreated");
}

Win32TrayIcon::~Win32TrayIcon() {
  remove();
  ::SetWindowLongPtrW(window_.get(), GWLP_USERDATA, 0);
}

LRESULT CALLBACK Win32TrayIcon::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Handlers run inside the error boundary; this catch is for the layer's own failures, which must
  // not unwind through the system's code.
  try {
    if (msg == WM_NCCREATE) {
      auto* self = static_cast<Win32TrayIcon*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
      ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
      self->window_.reset(hwnd);
    }
    auto* self = reinterpret_cast<Win32TrayIcon*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self != nullptr) return self->handle(msg, wp, lp);
  } catch (...) {
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT Win32TrayIcon::handle(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = window_.get();
  if (msg == kCallbackMessage) {
    if (wp == kIconId) onMouse(LOWORD(lp));
    return 0;
  }
  if (msg == WM_TIMER && wp == kSingleClickTimer) {
    // No second click came within the double-click time: it was a single click.
    ::KillTimer(hwnd, kSingleClickTimer);
    run(onClick_);
    return 0;
  }
  // The shell (re)started and has forgotten every icon.
  if (msg == taskbarCreated_ && taskbarCreated_ != 0) {
    if (shown_) add();
    return 0;
  }
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    window_.detach();
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32TrayIcon::onMouse(UINT mouseMessage) {
  HWND hwnd = window_.get();
  switch (mouseMessage) {
    case WM_LBUTTONUP:
      if (std::exchange(swallowNextRelease_, false)) break;
      ::SetTimer(hwnd, kSingleClickTimer, ::GetDoubleClickTime(), nullptr);
      break;
    case WM_LBUTTONDBLCLK:
      ::KillTimer(hwnd, kSingleClickTimer);
      swallowNextRelease_ = true;
      run(onDblClick_);
      break;
    case WM_RBUTTONDOWN:
      popUpMenu();
      break;
    default:
      break;
  }
}

void Win32TrayIcon::popUpMenu() {
  if (popup_ == nullptr) return;
  HWND hwnd = window_.get();
  POINT at{};
  ::GetCursorPos(&at);
  // Without the foreground the menu would not close when the user clicks elsewhere.
  ::SetForegroundWindow(hwnd);
  const int picked = static_cast<int>(::TrackPopupMenu(
      popup_->handle(), TPM_RETURNCMD | TPM_NONOTIFY | TPM_RIGHTBUTTON, at.x, at.y, 0, hwnd, nullptr));
  // Lets the window give up the foreground, so the menu opens again on the next press.
  ::PostMessageW(hwnd, WM_NULL, 0, 0);
  if (picked != 0) commands_.pick(picked);
}

void Win32TrayIcon::add() {
  NOTIFYICONDATAW data = record(window_.get(), NIF_MESSAGE | NIF_ICON | NIF_TIP);
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  data.szTip[0] = L'\0';
  if (!::Shell_NotifyIconW(NIM_ADD, &data)) ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void Win32TrayIcon::show() {
  shown_ = true;
  add();
}

void Win32TrayIcon::remove() {
  if (!shown_) return;
  shown_ = false;
  swallowNextRelease_ = false;
  ::KillTimer(window_.get(), kSingleClickTimer);
  NOTIFYICONDATAW data = record(window_.get(), 0);
  ::Shell_NotifyIconW(NIM_DELETE, &data);
}

void Win32TrayIcon::showBalloon(const std::string& title, const std::string& text, BalloonIcon icon,
                                int seconds) {
  if (!shown_) return;
  // The balloon flag goes with this one request; the next one carries message, icon and tip only, so
  // the balloon never shows again by itself.
  NOTIFYICONDATAW data = record(window_.get(), NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO);
  data.uCallbackMessage = kCallbackMessage;
  data.hIcon = icon_;
  copyCut(data.szInfo, text);
  copyCut(data.szInfoTitle, title);
  data.dwInfoFlags = infoFlags(icon);
  data.uTimeout = static_cast<UINT>(std::clamp(seconds, 0, INT_MAX / 1000)) * 1000;
  ::Shell_NotifyIconW(NIM_MODIFY, &data);
}

void Win32TrayIcon::setPopupMenu(Menu* menu) {
  auto* popup = dynamic_cast<Win32Menu*>(menu);
  if (menu != nullptr && popup == nullptr)
    throw std::logic_error("the tray's menu is not a menu of this platform");
  popup_ = popup;
}

void Win32TrayIcon::run(const Handler& handler) {
  if (!handler) return;
  // A copy, so a handler that replaces its own handler does not destroy itself mid-run.
  const Handler copy = handler;
  runGuarded(ctx_.dialogs(), copy);
}

}  // namespace qv::platform::win32
