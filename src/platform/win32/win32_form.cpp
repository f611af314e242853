#include "platform/win32/win32_form.h"

#include <vector>

#include "platform/error_boundary.h"
#include "platform/win32/child_window.h"
#include "platform/win32/win32_main_loop.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/resources/resource_ids.h"

namespace qv::platform::win32 {

namespace {
constexpr int kIconResource = QV_RESOURCE_PROGRAM_ICON;

void registerFormClass(const std::wstring& name, WNDPROC proc) {
  HINSTANCE instance = ::GetModuleHandleW(nullptr);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_DBLCLKS;
  wc.lpfnWndProc = proc;
  wc.hInstance = instance;
  wc.hIcon = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                             ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
  wc.hIconSm = static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                                               ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                               LR_SHARED));
  wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
  wc.lpszClassName = name.c_str();
  // A second form of the same name reuses the class registered by the first.
  ::RegisterClassExW(&wc);
}

struct ModalSet {
  HWND self;
  std::vector<HWND> disabled;
};

BOOL CALLBACK collectEnabled(HWND hwnd, LPARAM param) {
  auto* set = reinterpret_cast<ModalSet*>(param);
  try {
    if (hwnd != set->self && ::IsWindowVisible(hwnd) && ::IsWindowEnabled(hwnd)) set->disabled.push_back(hwnd);
  } catch (...) {
    return FALSE;
  }
  return TRUE;
}
}  // namespace

Win32Form::Win32Form(UiContext& ctx, const FormSpec& spec, HWND owner, bool mainForm)
    : ctx_(ctx), name_(spec.name), main_(mainForm) {
  const std::wstring className = toWide(spec.name);
  registerFormClass(className, windowProc);
  DWORD style = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  if (spec.minimizeBox) style |= WS_MINIMIZEBOX;
  if (spec.maximizeBox) style |= WS_MAXIMIZEBOX;
  DWORD exStyle = WS_EX_CONTROLPARENT;
  if (spec.topmost) exStyle |= WS_EX_TOPMOST;
  const std::wstring caption = toWide(spec.caption);
  // WM_NCCREATE stores the window in window_ before CreateWindowExW returns.
  ::CreateWindowExW(exStyle, className.c_str(), caption.c_str(), style, ctx.scale(spec.outer.left),
                    ctx.scale(spec.outer.top), ctx.scale(spec.outer.width), ctx.scale(spec.outer.height), owner,
                    nullptr, ::GetModuleHandleW(nullptr), this);
  if (!window_.valid()) return;
  markAsForm(window_.get());
  ::SendMessageW(window_.get(), WM_SETFONT, reinterpret_cast<WPARAM>(ctx.font()), FALSE);
  host_ = std::make_unique<ChildHost>(ctx, window_.get());
}

Win32Form::~Win32Form() { destroyWindow(); }

void Win32Form::destroyWindow() {
  // The icon belongs to the window's life: it leaves the notification area as the window goes.
  if (tray_) tray_->remove();
  if (host_) host_->detachAll();
  window_.close();
  visible_ = false;
}

LRESULT CALLBACK Win32Form::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Handlers run inside the error boundary; this catch is for the layer's own failures (out of
  // memory), which must not unwind through the system's code.
  try {
    return dispatch(hwnd, msg, wp, lp);
  } catch (...) {
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
}

LRESULT Win32Form::dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_NCCREATE) {
    auto* self = static_cast<Win32Form*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_.reset(hwnd);
  }
  auto* self = reinterpret_cast<Win32Form*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
    self->window_.detach();
    self->visible_ = false;
    return ::DefWindowProcW(hwnd, msg, wp, lp);
  }
  return self->handle(msg, wp, lp);
}

LRESULT Win32Form::handle(UINT msg, WPARAM wp, LPARAM lp) {
  HWND hwnd = window_.get();
  if (LRESULT routed = 0; routeChildMessage(hwnd, msg, wp, lp, routed)) return routed;
  switch (msg) {
    case WM_TIMER: {
      auto it = timers_.find(wp);
      if (it != timers_.end()) {
        it->second->tick();
        return 0;
      }
      break;
    }
    case WM_SIZE:
      if (host_) host_->layout();
      return 0;
    case WM_COMMAND:
      // No control sent it (routed above otherwise): a menu item's or an accelerator's command.
      if (lp == 0) {
        commands_.pick(LOWORD(wp));
        return 0;
      }
      break;
    case WM_CLOSE:
      // The close box and Alt+F4 ask the same question as the program's own close requests.
      runGuarded(ctx_.dialogs(), [this] { close(); });
      return 0;
    case WM_QUERYENDSESSION:
      // Log-off and shutdown are never held up, and the close-query rule (which would hide the
      // window instead of closing it) is not asked.
      if (onQueryEndSession_) {
        const Handler handler = onQueryEndSession_;
        runGuarded(ctx_.dialogs(), handler);
      }
      return TRUE;
    case WM_ENDSESSION:
      if (wp != FALSE) endSession();
      return 0;
    case WM_DESTROY:
      // The menu bar is ours to destroy, not the window's.
      if (menuBar_) ::SetMenu(hwnd, nullptr);
      break;
    case WM_ACTIVATE:
      if (LOWORD(wp) == WA_INACTIVE) {
        HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(hwnd, focus)) lastFocus_ = focus;
      } else {
        HWND target = lastFocus_ != nullptr && ::IsWindow(lastFocus_) && ::IsChild(hwnd, lastFocus_) &&
                              ::IsWindowVisible(lastFocus_) && ::IsWindowEnabled(lastFocus_)
                          ? lastFocus_
                          : ::GetNextDlgTabItem(hwnd, nullptr, FALSE);
        if (target != nullptr) {
          ::SetFocus(target);
          return 0;
        }
      }
      break;
    default:
      break;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

void Win32Form::setCaption(const std::string& caption) { setWindowText(window_.get(), caption); }

std::string Win32Form::caption() const { return windowText(window_.get()); }

Rect Win32Form::outerBounds() const {
  RECT r{};
  if (!window_.valid() || !::GetWindowRect(window_.get(), &r)) return Rect{};
  return Rect{ctx_.unscale(r.left), ctx_.unscale(r.top), ctx_.unscale(r.right - r.left),
              ctx_.unscale(r.bottom - r.top)};
}

void Win32Form::appear() {
  HWND hwnd = window_.get();
  if (menuBarStale_) {
    menuBarStale_ = false;
    ::DrawMenuBar(hwnd);
  }
  ::ShowWindow(hwnd, ::IsIconic(hwnd) ? SW_RESTORE : SW_SHOWNORMAL);
  ::SetForegroundWindow(hwnd);
}

void Win32Form::show() {
  if (!window_.valid()) return;
  if (visible_) {
    // Already shown: bring it back from the task bar and to the front, without a new show step.
    appear();
    return;
  }
  // The show handler runs before the window appears, once per change from hidden to visible.
  visible_ = true;
  if (onShow_) {
    const Handler handler = onShow_;
    runGuarded(ctx_.dialogs(), handler);
  }
  if (visible_ && window_.valid()) appear();
}

void Win32Form::hide() {
  visible_ = false;
  if (window_.valid()) ::ShowWindow(window_.get(), SW_HIDE);
}

void Win32Form::showModal() {
  if (modal_ || !window_.valid()) return;
  modal_ = true;
  modalEnded_ = false;
  visible_ = true;
  if (onShow_) {
    try {
      const Handler handler = onShow_;
      handler();
    } catch (...) {
      modal_ = false;
      visible_ = false;
      throw;
    }
  }
  ModalSet set{window_.get(), {}};
  ::EnumThreadWindows(::GetCurrentThreadId(), collectEnabled, reinterpret_cast<LPARAM>(&set));
  for (HWND other : set.disabled) ::EnableWindow(other, FALSE);
  if (!modalEnded_ && window_.valid()) appear();

  MSG msg;
  while (!modalEnded_ && window_.valid()) {
    const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
    if (got <= 0) {
      // The main loop's quit: end the modal run and leave the quit for the loop further out.
      if (got == 0) ::PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    dispatchLoopMessage(msg);
  }

  // Enabled again before hiding, so the activation goes back to the window the user came from.
  for (HWND other : set.disabled)
    if (::IsWindow(other)) ::EnableWindow(other, TRUE);
  hide();
  modal_ = false;
}

void Win32Form::close() {
  if (onCloseQuery_) {
    const auto query = onCloseQuery_;
    if (!query()) return;
  }
  if (modal_) {
    modalEnded_ = true;
    return;
  }
  if (main_) {
    destroyWindow();
    ctx_.mainLoop().quit();
    return;
  }
  hide();
}

void Win32Form::endSession() {
  // The system may end the process as soon as this message returns: leave nothing half-done in the
  // notification area and let the main loop end as after a real close.
  if (!main_) return;
  destroyWindow();
  ctx_.mainLoop().quit();
}

Menu& Win32Form::menuBar() {
  if (!menuBar_) {
    HWND hwnd = window_.get();
    // Attaching the bar or changing its height resizes the client area, and the WM_SIZE that follows
    // lays the controls out again.
    menuBar_ = Win32Menu::makeMenuBar(ctx_, commands_, [this, hwnd] {
      if (::IsWindowVisible(hwnd))
        ::DrawMenuBar(hwnd);
      else
        menuBarStale_ = true;
    });
    ::SetMenu(hwnd, menuBar_->handle());
  }
  return *menuBar_;
}

Menu& Win32Form::addPopupMenu(const std::string& /*name*/) {
  popups_.push_back(Win32Menu::makePopup(ctx_, commands_));
  return *popups_.back();
}

TrayIcon& Win32Form::trayIcon() {
  if (!tray_) tray_ = std::make_unique<Win32TrayIcon>(ctx_, commands_);
  return *tray_;
}

Timer& Win32Form::addTimer(const std::string& /*name*/, int intervalMs, bool enabled) {
  const UINT_PTR id = timers_.size() + 1;
  auto timer = std::make_unique<Win32Timer>(ctx_, window_.get(), id, intervalMs, enabled);
  Timer& ref = *timer;
  timers_.emplace(id, std::move(timer));
  return ref;
}

}  // namespace qv::platform::win32
