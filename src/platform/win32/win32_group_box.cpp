#include "platform/win32/win32_group_box.h"

namespace qv::platform::win32 {

Win32GroupBox::Win32GroupBox(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : HostedContainer(ctx, host, spec) {
  create(L"BUTTON", BS_GROUPBOX | WS_CLIPSIBLINGS, 0, spec.text);
  inner_ = std::make_unique<ChildHost>(ctx, host.window(), this);
}

void Win32GroupBox::applyVisibility() {
  ChildWindow::applyVisibility();
  if (inner_) inner_->applyVisibility();
}

void Win32GroupBox::afterMove() {
  if (inner_) inner_->layout();
}

void Win32GroupBox::detach() {
  ChildWindow::detach();
  inner_->detachAll();
}

}  // namespace qv::platform::win32
