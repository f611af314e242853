#pragma once
// The embedded browser control: the system's WebBrowser object activated in place inside a window of
// our own, with an OLE site written against the SDK's interfaces. Where the system has no browser
// engine (a Wine prefix without one) the window stays an empty area and the program goes on.
//
// The control is not laid out by its container: it takes the container's client area (Align::Client)
// or its own rectangle once, when it is made, which holds for a window that is never resized.
//
// The browser object is made once the window it sits in has been painted: loading the engine takes
// longer than everything else the main window does before it shows, and the strip is the one part
// that can come a moment later. An address asked for before then is loaded as soon as it is there.
#include <windows.h>
// After windows.h, which they build on.
#include <exdisp.h>
#include <oleidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>

#include "platform/web_browser.h"
#include "platform/win32/browser_site.h"
#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32WebBrowser final : public ControlBase<WebBrowser> {
 public:
  Win32WebBrowser(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  ~Win32WebBrowser() override;

  void navigate(const std::string& url) override;
  void setOnDocumentComplete(Handler handler) override { onDocumentComplete_ = std::move(handler); }
  std::unique_ptr<HtmlDocument> document() override;
  std::unique_ptr<AutomationObject> automation() override;
  // Closes the browser object while its window still exists.
  void detach() override;

 private:
  // OLE (not only COM) for as long as the control lives: in-place activation needs it.
  class OleScope {
   public:
    OleScope() : hr_(::OleInitialize(nullptr)) {}
    ~OleScope() {
      if (SUCCEEDED(hr_)) ::OleUninitialize();
    }
    OleScope(const OleScope&) = delete;
    OleScope& operator=(const OleScope&) = delete;

   private:
    HRESULT hr_;
  };
  struct SiteRelease {
    void operator()(BrowserSite* site) const { site->Release(); }
  };

  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  void place();
  // Paints the window the control sits in, then makes the browser object and loads what was asked for.
  void embedAfterPaint();
  void embed();
  void resizeObject();
  void onEvent(DISPID id);
  void close();

  OleScope ole_;
  std::unique_ptr<BrowserSite, SiteRelease> site_;
  Microsoft::WRL::ComPtr<IOleObject> object_;
  Microsoft::WRL::ComPtr<IWebBrowser2> browser_;
  Microsoft::WRL::ComPtr<IConnectionPoint> events_;
  DWORD cookie_ = 0;
  Handler onDocumentComplete_;
  std::string pendingUrl_;
  // Tells the posted embedding whether the control still exists.
  std::shared_ptr<Win32WebBrowser*> self_;
};

}  // namespace qv::platform::win32
