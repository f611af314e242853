#pragma once
// A panel: a plain child window holding controls of its own.
#include "platform/win32/child_host.h"
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32Panel final : public HostedContainer<ControlBase<Panel>> {
 public:
  Win32Panel(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  ~Win32Panel() override;
  void detach() override;

 protected:
  ChildHost& children() override { return *inner_; }

 private:
  std::unique_ptr<ChildHost> inner_;
};

}  // namespace qv::platform::win32
