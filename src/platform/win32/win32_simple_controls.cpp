#include "platform/win32/win32_simple_controls.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/error_boundary.h"
#include "platform/win32/child_host.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

// Labels never treat "&" as a mnemonic: status texts carry file names.
Win32Label::Win32Label(UiContext& ctx, ChildHost& host, const ControlSpec& spec, bool wrap)
    : ControlBase(ctx, host, spec), autoSize_(!wrap) {
  // Measured first, so the window is made at its size and never moved for it.
  if (autoSize_) measured_ = ctx_.textExtent(toWide(spec.text));
  // A label lies below the other controls and is clipped by them, so a text that grew past its
  // neighbour (the status line next to the progress bar) never paints over it.
  create(L"STATIC", SS_NOPREFIX | WS_CLIPSIBLINGS | (wrap ? SS_LEFT : SS_LEFTNOWORDWRAP), 0, spec.text);
  ::SetWindowPos(hwnd_, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

SIZE Win32Label::deviceSize() const { return autoSize_ ? measured_ : ChildWindow::deviceSize(); }

void Win32Label::textChanged() {
  if (!autoSize_) return;
  measured_ = ctx_.textExtent(windowTextW(hwnd_));
  ::SetWindowPos(hwnd_, nullptr, 0, 0, measured_.cx, measured_.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Button::Win32Button(UiContext& ctx, ChildHost& host, const ControlSpec& spec, DWORD extraStyle)
    : ControlBase(ctx, host, spec) {
  create(L"BUTTON", BS_PUSHBUTTON | WS_TABSTOP | extraStyle, 0, spec.text);
}

void Win32Button::onCommand(WORD code) {
  if (code != BN_CLICKED || !onClick_) return;
  // A copy, so a handler that replaces the click handler does not destroy itself mid-run.
  const Handler handler = onClick_;
  runGuarded(ctx_.dialogs(), handler);
}

Win32Edit::Win32Edit(UiContext& ctx, ChildHost& host, const ControlSpec& spec) : ControlBase(ctx, host, spec) {
  create(L"EDIT", ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE, spec.text);
}

template <class Iface>
CheckButton<Iface>::CheckButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec, DWORD style)
    : ControlBase<Iface>(ctx, host, spec) {
  this->create(L"BUTTON", style | WS_TABSTOP, 0, spec.text);
}

template <class Iface>
bool CheckButton<Iface>::checked() const {
  return ::SendMessageW(this->hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
}

template <class Iface>
void CheckButton<Iface>::setChecked(bool checked) {
  ::SendMessageW(this->hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

Win32CheckBox::Win32CheckBox(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : CheckButton(ctx, host, spec, BS_AUTOCHECKBOX) {}

// Each radio button starts its own group: the program's radio buttons stand alone in their frames.
Win32RadioButton::Win32RadioButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : CheckButton(ctx, host, spec, BS_AUTORADIOBUTTON | WS_GROUP) {}

Win32ProgressBar::Win32ProgressBar(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : ControlBase(ctx, host, spec) {
  create(PROGRESS_CLASSW, 0, 0, std::string());
  ::SendMessageW(hwnd_, PBM_SETRANGE32, 0, 100);
}

void Win32ProgressBar::setMax(int max) {
  const int position = this->position();
  ::SendMessageW(hwnd_, PBM_SETRANGE32, 0, max);
  setPosition(position);
}

int Win32ProgressBar::max() const { return static_cast<int>(::SendMessageW(hwnd_, PBM_GETRANGE, FALSE, 0)); }

void Win32ProgressBar::setPosition(int position) {
  ::SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(std::clamp(position, 0, std::max(0, max()))), 0);
}

int Win32ProgressBar::position() const { return static_cast<int>(::SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

}  // namespace qv::platform::win32
