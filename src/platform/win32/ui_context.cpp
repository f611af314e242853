#include "platform/win32/ui_context.h"

namespace qv::platform::win32 {

UiContext::UiContext(Dialogs& dialogs, MainLoop& mainLoop)
    : dialogs_(dialogs), mainLoop_(mainLoop), measuring_(::CreateCompatibleDC(nullptr)) {
  // The process is system-DPI aware (manifest), so the screen's LOGPIXELSY is the DPI to scale by.
  if (HDC screen = ::GetDC(nullptr)) {
    const int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    if (dpi > 0) dpi_ = dpi;
    ::ReleaseDC(nullptr, screen);
  }
  // The message font is the user's dialog font, already sized for the system DPI, and the one the
  // system links to CJK faces; the stock GUI font is only the fallback.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0))
    ownedFont_ = UniqueFont(::CreateFontIndirectW(&metrics.lfMessageFont));
  font_ = ownedFont_.valid() ? ownedFont_.get() : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
  if (measuring_.valid()) ::SelectObject(measuring_.get(), font_);
}

SIZE UiContext::textExtent(const std::wstring& text) {
  if (!measuring_.valid()) return SIZE{0, 0};
  const std::wstring line = text.empty() ? std::wstring(L" ") : text;
  RECT r{0, 0, 0, 0};
  ::DrawTextW(measuring_.get(), line.c_str(), static_cast<int>(line.size()), &r,
              DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS);
  return SIZE{r.right - r.left, r.bottom - r.top};
}

}  // namespace qv::platform::win32
