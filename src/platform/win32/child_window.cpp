#include "platform/win32/child_window.h"

#include "platform/win32/child_host.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr wchar_t kControlProp[] = L"Quorvane.Control";
}  // namespace

void setWindowText(HWND hwnd, const std::string& utf8) {
  const std::wstring wide = toWide(utf8);
  ::SetWindowTextW(hwnd, wide.c_str());
}

std::string windowText(HWND hwnd) { return toUtf8(windowTextW(hwnd)); }

ChildWindow::ChildWindow(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : ctx_(ctx), host_(host), id_(spec.id), name_(spec.name), rect_(spec.rect), align_(spec.align),
      visible_(spec.visible) {}

void ChildWindow::create(const wchar_t* windowClass, DWORD style, DWORD exStyle, const std::string& text) {
  const std::wstring wide = toWide(text);
  // Made where it belongs and as visible as it will be, so the host need not move or show it again
  // (each is a round trip to the server under Wine). The windows it sits in are still hidden while
  // controls are added, so nothing paints half set up. An aligned control is made where the host's
  // layout will put it among the siblings made before it.
  const RECT r = host_.placement(*this);
  const DWORD shown = effectiveVisible() ? WS_VISIBLE : 0;
  hwnd_ = ::CreateWindowExW(exStyle, windowClass, wide.c_str(), WS_CHILD | shown | style, r.left, r.top,
                            r.right - r.left, r.bottom - r.top, host_.window(),
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), ::GetModuleHandleW(nullptr),
                            nullptr);
  if (hwnd_ == nullptr) return;
  ::SetPropW(hwnd_, kControlProp, static_cast<HANDLE>(this));
  ::SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(ctx_.font()), FALSE);
}

void ChildWindow::detach() {
  if (hwnd_ != nullptr) ::RemovePropW(hwnd_, kControlProp);
}

SIZE ChildWindow::deviceSize() const { return SIZE{ctx_.scale(rect_.width), ctx_.scale(rect_.height)}; }

bool ChildWindow::effectiveVisible() const { return visible_ && host_.showsChildren(); }

void ChildWindow::applyVisibility() {
  if (hwnd_ == nullptr) return;
  const bool show = effectiveVisible();
  const bool shown = (::GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
  if (show != shown) ::ShowWindow(hwnd_, show ? SW_SHOWNA : SW_HIDE);
}

void ChildWindow::setOwnVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  applyVisibility();
  // Aligned siblings take up or give back the room.
  if (align_ != Align::None) host_.layout();
}

Rect ChildWindow::currentBounds() const {
  if (hwnd_ == nullptr) return rect_;
  RECT r{};
  ::GetWindowRect(hwnd_, &r);
  ::MapWindowPoints(HWND_DESKTOP, host_.window(), reinterpret_cast<POINT*>(&r), 2);
  const POINT origin = host_.origin();
  return Rect{ctx_.unscale(r.left - origin.x), ctx_.unscale(r.top - origin.y), ctx_.unscale(r.right - r.left),
              ctx_.unscale(r.bottom - r.top)};
}

ChildWindow* controlOf(HWND hwnd) {
  return hwnd == nullptr ? nullptr : static_cast<ChildWindow*>(::GetPropW(hwnd, kControlProp));
}

bool routeCommand(HWND receiver, WPARAM wp, LPARAM lp) {
  // Only the control that sent the command gets it. A command without a sender is a menu item's or an
  // accelerator's and never goes to a control, even one whose id is the same; and a sender that is
  // not the receiver's own child is not believed.
  HWND from = reinterpret_cast<HWND>(lp);
  if (from == nullptr || ::GetParent(from) != receiver) return false;
  ChildWindow* control = controlOf(from);
  if (control == nullptr) return false;
  control->onCommand(HIWORD(wp));
  return true;
}

bool routeNotify(LPARAM lp, LRESULT& result) {
  auto* header = reinterpret_cast<NMHDR*>(lp);
  if (header == nullptr) return false;
  ChildWindow* control = controlOf(header->hwndFrom);
  if (control == nullptr) return false;
  result = control->onNotify(*header);
  return true;
}

bool routeChildMessage(HWND receiver, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result) {
  result = 0;
  if (msg == WM_COMMAND) return routeCommand(receiver, wp, lp);
  if (msg == WM_NOTIFY) return routeNotify(lp, result);
  return false;
}

}  // namespace qv::platform::win32
