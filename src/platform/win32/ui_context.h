#pragma once
// What every window of the UI shares: the error boundary's dialogs, the main loop, the system DPI
// and the dialog font.
#include <windows.h>

#include <string>

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
  // The size of one line of text in the dialog font, in device pixels (an empty text has a line's
  // height). Measured on a memory device context of the screen's, so a control can be measured before
  // its window exists and without asking the server for a window's.
  SIZE textExtent(const std::wstring& text);

 private:
  Dialogs& dialogs_;
  MainLoop& mainLoop_;
  int dpi_ = 96;
  UniqueFont ownedFont_;
  HFONT font_ = nullptr;
  // Holds the font selected; released before the font is.
  UniqueMemoryDc measuring_;
};

}  // namespace qv::platform::win32
