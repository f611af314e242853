#pragma once
// A push button that shows a picture instead of its caption (the start-game button), with the hand
// cursor over it like a link.
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_simple_controls.h"

namespace qv::platform::win32 {

class Win32PictureButton final : public Win32Button {
 public:
  Win32PictureButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec);

 private:
  static LRESULT CALLBACK cursorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR data);

  // Made for this button's size, so it is this button's to destroy (after the button window).
  UniqueIcon picture_;
};

}  // namespace qv::platform::win32
