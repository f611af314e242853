// The main window's portal: the strip's documents, the right clicks it never answers, and the links
// that open beside the window. The behaviour is the portal subsystem's.
#include "mainwindow/main_window.h"
#include "portal/browser_window.h"
#include "portal/portal_page.h"
#include "portal/right_click_filter.h"

namespace qv::mainwindow {

void TForm1::OpenInBrowserWindow(const std::string& address) {
  portal::openInBrowserWindow(platform_.screen(), platform_.automation(), *form_, address);
}

void TForm1::WebBrowser1DocumentComplete() { portal::trimToBanner(*WebBrowser1); }

bool TForm1::ApplicationEvents1Message(const platform::LoopMessage& Msg) {
  return portal::isRightClickInside(Msg, *WebBrowser1);
}

}  // namespace qv::mainwindow
