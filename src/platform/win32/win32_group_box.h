#pragma once
// A group box. The frame is a BUTTON, which does not pass its children's WM_COMMAND on, so the
// controls "inside" it are created as its siblings in the parent window, offset by the frame's
// position and kept above it in the Z order; they are shown only while the frame is.
#include "platform/win32/child_host.h"
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32GroupBox final : public HostedContainer<ControlBase<GroupBox>> {
 public:
  Win32GroupBox(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  void applyVisibility() override;
  void afterMove() override;
  void detach() override;

 protected:
  ChildHost& children() override { return *inner_; }

 private:
  std::unique_ptr<ChildHost> inner_;
};

}  // namespace qv::platform::win32
