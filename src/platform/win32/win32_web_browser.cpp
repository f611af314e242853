#include "platform/win32/win32_web_browser.h"

#include <exdispid.h>
#include <mshtml.h>
#include <ocidl.h>

#include <utility>

#include "platform/error_boundary.h"
#include "platform/win32/child_host.h"
#include "platform/win32/com_values.h"
#include "platform/win32/win32_automation.h"

namespace qv::platform::win32 {

using Microsoft::WRL::ComPtr;

namespace {

constexpr wchar_t kClass[] = L"QuorvaneWebBrowser";

const wchar_t* browserWindowClass(WNDPROC proc) {
  static const bool registered = [proc] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    wc.lpszClassName = kClass;
    return ::RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  return kClass;
}

void check(HRESULT hr) {
  if (FAILED(hr)) throw AutomationError(automationErrorText(hr));
}

class Win32HtmlBody : public HtmlBody {
 public:
  explicit Win32HtmlBody(ComPtr<IHTMLElement> body) : body_(std::move(body)) {}
  void setBorderStyle(const std::string& style) override {
    ComPtr<IHTMLStyle> css;
    check(body_->get_style(&css));
    if (!css) throw AutomationError("the body has no style object");
    Bstr value(style);
    check(css->put_borderStyle(value.get()));
  }

 private:
  ComPtr<IHTMLElement> body_;
};

class Win32HtmlDocument : public HtmlDocument {
 public:
  explicit Win32HtmlDocument(ComPtr<IHTMLDocument2> document) : document_(std::move(document)) {}
  std::unique_ptr<HtmlBody> body() override {
    // A document that is no HTML page (a picture, a plain file) has no body to trim.
    if (!document_) return nullptr;
    ComPtr<IHTMLElement> body;
    check(document_->get_body(&body));
    if (!body) return nullptr;
    return std::make_unique<Win32HtmlBody>(std::move(body));
  }

 private:
  ComPtr<IHTMLDocument2> document_;
};

}  // namespace

Win32WebBrowser::Win32WebBrowser(UiContext& ctx, ChildHost& host, const ControlSpec& spec)
    : ControlBase(ctx, host, spec) {
  create(browserWindowClass(windowProc), WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, "");
  if (hwnd_ == nullptr) return;
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  place();
  applyVisibility();
  self_ = std::make_shared<Win32WebBrowser*>(this);
  std::weak_ptr<Win32WebBrowser*> control = self_;
  ctx_.mainLoop().post([control] {
    if (auto alive = control.lock(); alive && *alive != nullptr) (*alive)->embedAfterPaint();
  });
}

Win32WebBrowser::~Win32WebBrowser() {
  if (self_) *self_ = nullptr;
  close();
}

void Win32WebBrowser::embedAfterPaint() {
  if (hwnd_ == nullptr || object_) return;
  // Whatever of the window shows is painted first (its paint would otherwise wait behind the engine).
  HWND root = ::GetAncestor(hwnd_, GA_ROOT);
  if (root != nullptr && ::IsWindowVisible(root))
    ::RedrawWindow(root, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  embed();
  if (browser_ && !pendingUrl_.empty()) navigate(std::exchange(pendingUrl_, std::string()));
}

void Win32WebBrowser::place() {
  RECT r{};
  if (align_ == Align::Client) {
    ::GetClientRect(host_.window(), &r);
  } else {
    const POINT origin = host_.origin();
    r.left = origin.x + ctx_.scale(rect_.left);
    r.top = origin.y + ctx_.scale(rect_.top);
    r.right = r.left + ctx_.scale(rect_.width);
    r.bottom = r.top + ctx_.scale(rect_.height);
  }
  ::SetWindowPos(hwnd_, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Win32WebBrowser::embed() {
  ComPtr<IOleObject> object;
  if (FAILED(::CoCreateInstance(CLSID_WebBrowser, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&object))))
    return;
  site_.reset(new BrowserSite(hwnd_, [this](DISPID id) { onEvent(id); }));
  if (FAILED(object->SetClientSite(site_.get()))) return;
  object_ = object;
  ::OleSetContainedObject(object_.Get(), TRUE);
  RECT r{};
  ::GetClientRect(hwnd_, &r);
  if (FAILED(object_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, hwnd_, &r))) {
    close();
    return;
  }
  if (FAILED(object_.As(&browser_))) {
    close();
    return;
  }
  ComPtr<IConnectionPointContainer> points;
  if (SUCCEEDED(object_.As(&points)) &&
      SUCCEEDED(points->FindConnectionPoint(DIID_DWebBrowserEvents2, &events_)))
    if (FAILED(events_->Advise(static_cast<IDispatch*>(site_.get()), &cookie_))) events_.Reset();
}

void Win32WebBrowser::resizeObject() {
  ComPtr<IOleInPlaceObject> inPlace;
  if (!object_ || FAILED(object_.As(&inPlace))) return;
  RECT r{};
  ::GetClientRect(hwnd_, &r);
  inPlace->SetObjectRects(&r, &r);
}

void Win32WebBrowser::onEvent(DISPID id) {
  if (id != DISPID_DOCUMENTCOMPLETE || !onDocumentComplete_) return;
  const Handler handler = onDocumentComplete_;
  runGuarded(ctx_.dialogs(), handler);
}

void Win32WebBrowser::close() {
  if (site_) site_->disconnect();
  if (events_) {
    events_->Unadvise(cookie_);
    events_.Reset();
  }
  browser_.Reset();
  if (object_) {
    object_->Close(OLECLOSE_NOSAVE);
    object_->SetClientSite(nullptr);
    object_.Reset();
  }
  site_.reset();
}

void Win32WebBrowser::detach() {
  if (self_) *self_ = nullptr;
  close();
  if (hwnd_ != nullptr) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
  ChildWindow::detach();
}

void Win32WebBrowser::navigate(const std::string& url) {
  if (!browser_) {
    // Not made yet: loaded once it is (an engine that is missing loads nothing).
    if (!object_ && self_) pendingUrl_ = url;
    return;
  }
  Bstr address(url);
  Variant flags, target, postData, headers;
  browser_->Navigate(address.get(), flags.get(), target.get(), postData.get(), headers.get());
}

std::unique_ptr<HtmlDocument> Win32WebBrowser::document() {
  if (!browser_) return nullptr;
  ComPtr<IDispatch> document;
  check(browser_->get_Document(&document));
  if (!document) return nullptr;
  ComPtr<IHTMLDocument2> html;
  document.As(&html);
  return std::make_unique<Win32HtmlDocument>(std::move(html));
}

std::unique_ptr<AutomationObject> Win32WebBrowser::automation() {
  if (!browser_) throw AutomationError("no web browser engine is installed");
  ComPtr<IDispatch> self;
  check(browser_.As(&self));
  return std::make_unique<Win32AutomationObject>(std::move(self));
}

LRESULT CALLBACK Win32WebBrowser::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // Nothing may unwind through the system's dispatcher.
  try {
    auto* self = reinterpret_cast<Win32WebBrowser*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_SIZE && self != nullptr) {
      self->resizeObject();
      return 0;
    }
    if (msg == WM_NCDESTROY) ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
  } catch (...) {
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace qv::platform::win32
