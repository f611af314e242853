#include "platform/win32/win32_panel.h"

#include <stdexcept>

#include "platform/win32/panel_window.h"

namespace qv::platform::win32 {

Win32Panel::Win32Panel(UiContext& ctx, ChildHost& host, const ControlSpec& spec) : HostedContainer(ctx, host, spec) {
  // No WS_CLIPCHILDREN: a group box is transparent inside and needs the panel to paint under it.
  // CONTROLPARENT lets Tab walk into the panel.
  create(panelWindowClass(), WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, spec.text);
  inner_ = std::make_unique<ChildHost>(ctx, hwnd_);
  setPanelHost(hwnd_, inner_.get());
}

Win32Panel::~Win32Panel() {
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) setPanelHost(hwnd_, nullptr);
}

void Win32Panel::detach() {
  ChildWindow::detach();
  inner_->detachAll();
  if (browser_) browser_->detach();
  setPanelHost(hwnd_, nullptr);
}

WebBrowser& Win32Panel::addWebBrowser(const ControlSpec& spec) {
  if (browser_) throw std::logic_error("a panel holds one web browser");
  browser_ = std::make_unique<Win32WebBrowser>(ctx_, *inner_, spec);
  return *browser_;
}

}  // namespace qv::platform::win32
