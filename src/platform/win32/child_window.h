#pragma once
// The common part of every child control: its window, its place in the layout, and the hooks through
// which its parent's WM_COMMAND and WM_NOTIFY reach it. Parents find the control object from the
// notifying window through a window property, so any of our container windows can route them.
#include <windows.h>

#include <string>

#include "platform/ui.h"
#include "platform/win32/ui_context.h"

namespace qv::platform::win32 {

class ChildHost;

class ChildWindow {
 public:
  ChildWindow(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  virtual ~ChildWindow() = default;
  ChildWindow(const ChildWindow&) = delete;
  ChildWindow& operator=(const ChildWindow&) = delete;

  HWND hwnd() const { return hwnd_; }
  Align align() const { return align_; }
  const Rect& layoutRect() const { return rect_; }
  // Size in device pixels; labels that size themselves to their text override it.
  virtual SIZE deviceSize() const;
  bool ownVisible() const { return visible_; }
  // Visible on screen: its own flag and that of the group box it sits in, if any.
  bool effectiveVisible() const;
  virtual void applyVisibility();

  virtual void onCommand(WORD /*code*/) {}
  virtual LRESULT onNotify(NMHDR& /*header*/) { return 0; }
  // Runs after the host has moved the window (page controls place their pages then).
  virtual void afterMove() {}
  // Stops routing to this object before its windows are destroyed.
  virtual void detach();

 protected:
  // Creates the child window in the host's window with the control's id; called by constructors.
  void create(const wchar_t* windowClass, DWORD style, DWORD exStyle, const std::string& text);
  void setOwnVisible(bool visible);
  Rect currentBounds() const;

  UiContext& ctx_;
  ChildHost& host_;
  HWND hwnd_ = nullptr;
  int id_;
  std::string name_;
  Rect rect_;
  Align align_;
  bool visible_;
};

// Control's methods over a ChildWindow, for every control interface.
template <class Iface>
class ControlBase : public Iface, public ChildWindow {
 public:
  using ChildWindow::ChildWindow;
  const std::string& name() const override { return name_; }
  void setText(const std::string& utf8) override;
  std::string text() const override;
  void setVisible(bool visible) override { setOwnVisible(visible); }
  bool visible() const override { return visible_; }
  Rect bounds() const override { return currentBounds(); }

 protected:
  virtual void textChanged() {}
};

void setWindowText(HWND hwnd, const std::string& utf8);
std::string windowText(HWND hwnd);

template <class Iface>
void ControlBase<Iface>::setText(const std::string& utf8) {
  // Setting a text is a round trip to the server under Wine and a repaint; the download handlers set
  // the same status line once per archive.
  if (windowText(hwnd_) == utf8) return;
  setWindowText(hwnd_, utf8);
  textChanged();
}

template <class Iface>
std::string ControlBase<Iface>::text() const {
  return windowText(hwnd_);
}

// The control object behind a window, or null when the window is not one of ours.
ChildWindow* controlOf(HWND hwnd);
// WM_COMMAND in any of our containers, for the control whose window sent it (lParam), which must be a
// child of the receiver. A command that names no window (menu items, accelerators) is never a
// control's: false, and the form looks it up among its menu items.
bool routeCommand(HWND receiver, WPARAM wp, LPARAM lp);
// WM_NOTIFY in any of our containers; false when the sender is not one of our controls.
bool routeNotify(LPARAM lp, LRESULT& result);
// Both of the above for a window that hosts controls: true when `msg` was a command or notification
// that a control took, with the window procedure's answer in `result`.
bool routeChildMessage(HWND receiver, UINT msg, WPARAM wp, LPARAM lp, LRESULT& result);

}  // namespace qv::platform::win32
