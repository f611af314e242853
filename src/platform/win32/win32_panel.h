#pragma once
// A panel: a plain child window holding controls of its own, and the one container that can hold the
// embedded web browser (the portal strip).
#include "platform/win32/child_host.h"
#include "platform/win32/child_window.h"
#include "platform/win32/win32_web_browser.h"

namespace qv::platform::win32 {

class Win32Panel final : public HostedContainer<ControlBase<Panel>> {
 public:
  Win32Panel(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  ~Win32Panel() override;
  void detach() override;
  WebBrowser& addWebBrowser(const ControlSpec& spec) override;

 protected:
  ChildHost& children() override { return *inner_; }

 private:
  std::unique_ptr<ChildHost> inner_;
  std::unique_ptr<Win32WebBrowser> browser_;
};

}  // namespace qv::platform::win32
