#include "platform/win32/win32_picture_button.h"

#include <commctrl.h>

#include <algorithm>

#include "platform/win32/resources/resource_ids.h"

namespace qv::platform::win32 {

namespace {
constexpr UINT_PTR kCursorSubclass = 1;
// The picture leaves this much of the button's face around it, so the pressed look stays visible.
constexpr int kMargin = 6;

// The picture keeps its proportions: as high as the button's face allows (never above its own
// height at this DPI), narrower if the face is too narrow for that.
HICON loadPicture(const UiContext& ctx, SIZE button) {
  constexpr int kPictureWidth = 176;
  constexpr int kPictureHeight = 48;
  const int margin = ctx.scale(kMargin);
  const int faceWidth = std::max(1, static_cast<int>(button.cx) - 2 * margin);
  const int faceHeight = std::max(1, static_cast<int>(button.cy) - 2 * margin);
  int height = std::min(ctx.scale(kPictureHeight), faceHeight);
  int width = ::MulDiv(height, kPictureWidth, kPictureHeight);
  if (width > faceWidth) {
    width = faceWidth;
    height = std::max(1, ::MulDiv(width, kPictureHeight, kPictureWidth));
  }
  return static_cast<HICON>(::LoadImageW(::GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(QV_RESOURCE_START_GAME_PICTURE), IMAGE_ICON, width,
                                         height, LR_DEFAULTCOLOR));
}
}  // namespace

Win32PictureButton::Win32PictureButton(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : Win32Button(ctx, host, spec, BS_ICON), picture_(loadPicture(ctx, deviceSize())) {
  if (hwnd_ == nullptr) return;
  if (picture_.valid())
    ::SendMessageW(hwnd_, BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(picture_.get()));
  ::SetWindowSubclass(hwnd_, cursorProc, kCursorSubclass, 0);
}

LRESULT CALLBACK Win32PictureButton::cursorProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id,
                                                DWORD_PTR /*data*/) {
  // Nothing here can throw; the procedure keeps no state, so it outlives any object.
  if (msg == WM_SETCURSOR && LOWORD(lp) == HTCLIENT) {
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)));
    return TRUE;
  }
  if (msg == WM_NCDESTROY) ::RemoveWindowSubclass(hwnd, cursorProc, id);
  return ::DefSubclassProc(hwnd, msg, wp, lp);
}

}  // namespace qv::platform::win32
