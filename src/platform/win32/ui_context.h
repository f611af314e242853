#pragma once
// What every window of the UI shares: the error boundary's dialogs, the main loop, the system DPI
// and the dialog font.
#include <windows.h>

#include "platform/dialogs.h"
#include "platform/main_loop.h"
#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

class UiContext {
 public:
  UiContext(Dialogs& dialogs, MainLoop& mainLoop);
  UiContext(const UiContext&) = delete;
  UiContext& operator=(const UiContext&) = delete;

  Dialogs& dialogs() const { return dialogs_; }
  MainLoop& mainLoop() const { return mainLoop_; }
  HFONT font() const { return font_; }
  int dpi() const { return dpi_; }
  // The layout is given in 96-DPI pixels; the windows live in device pixels.
  int scale(int logical) const { return ::MulDiv(logical, dpi_, 96); }
  // Device pixels back to layout pixels, rounded up so a measured size never shrinks.
  int unscale(int device) const { return (device * 96 + dpi_ - 1) / dpi_; }

 private:
  Dialogs& dialogs_;
  MainLoop& mainLoop_;
  int dpi_ = 96;
  UniqueFont ownedFont_;
  HFONT font_ = nullptr;
};

}  // namespace qv::platform::win32
