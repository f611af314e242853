#include "platform/win32/win32_page_control.h"

#include <commctrl.h>

#include "platform/win32/panel_window.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

// One page: a panel window, child of the tab control, holding the page's controls.
class Win32PageControl::Page final : public HostedContainer<Container> {
 public:
  Page(UiContext& ctx, HWND tab) {
    // Like panels, pages paint under their group boxes, so they do not clip their children.
    window_ = ::CreateWindowExW(WS_EX_CONTROLPARENT, panelWindowClass(), L"", WS_CHILD | WS_CLIPSIBLINGS, 0, 0, 0, 0, tab, nullptr,
                                ::GetModuleHandleW(nullptr), nullptr);
    ::SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(ctx.font()), FALSE);
    host_ = std::make_unique<ChildHost>(ctx, window_);
    setPanelHost(window_, host_.get());
  }
  ~Page() override {
    if (::IsWindow(window_)) setPanelHost(window_, nullptr);
  }
  HWND window() const { return window_; }
  void detach() {
    host_->detachAll();
    setPanelHost(window_, nullptr);
  }

 protected:
  ChildHost& children() override { return *host_; }

 private:
  HWND window_ = nullptr;
  std::unique_ptr<ChildHost> host_;
};

Win32PageControl::Win32PageControl(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : ControlBase(ctx, host, spec) {
  create(WC_TABCONTROLW, WS_TABSTOP | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, std::string());
}

Win32PageControl::~Win32PageControl() = default;

Container& Win32PageControl::addPage(const std::string& /*name*/, const std::string& caption) {
  std::wstring text = toWide(caption);
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text.data();
  const int index = pageCount();
  ::SendMessageW(hwnd_, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
  pages_.push_back(std::make_unique<Page>(ctx_, hwnd_));
  if (activePage() < 0) ::SendMessageW(hwnd_, TCM_SETCURSEL, 0, 0);
  afterMove();
  return *pages_.back();
}

int Win32PageControl::activePage() const { return static_cast<int>(::SendMessageW(hwnd_, TCM_GETCURSEL, 0, 0)); }

void Win32PageControl::setActivePage(int index) {
  if (index < 0 || index >= pageCount()) return;
  // TCM_SETCURSEL sends no TCN_SELCHANGE, so the pages are switched here.
  ::SendMessageW(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
  showActivePage();
}

LRESULT Win32PageControl::onNotify(NMHDR& header) {
  if (header.code == TCN_SELCHANGE) showActivePage();
  return 0;
}

void Win32PageControl::afterMove() {
  // Every page covers the display area of the tabs.
  RECT r{};
  ::GetClientRect(hwnd_, &r);
  ::SendMessageW(hwnd_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&r));
  for (const auto& page : pages_)
    ::SetWindowPos(page->window(), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, SWP_NOACTIVATE);
  showActivePage();
}

void Win32PageControl::showActivePage() {
  const int active = activePage();
  for (int i = 0; i < pageCount(); ++i) {
    HWND page = pages_[static_cast<size_t>(i)]->window();
    if (i != active) ::ShowWindow(page, SW_HIDE);
  }
  if (active >= 0 && active < pageCount()) ::ShowWindow(pages_[static_cast<size_t>(active)]->window(), SW_SHOWNA);
}

void Win32PageControl::detach() {
  ChildWindow::detach();
  for (const auto& page : pages_) page->detach();
}

}  // namespace qv::platform::win32
