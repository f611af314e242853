// Links open in a separate Internet Explorer window that fills the screen to the left of the main
// window, which moves to the right edge and stays on top beside it.
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

void TForm1::OpenInBrowserWindow(const std::string& address) {
  platform::Screen& screen = platform_.screen();
  const platform::Rect window = screen.formBounds(*form_);
  screen.moveForm(*form_, screen.width() - window.width, window.top);

  // Each step is its own call into the browser's process; a failure leaves what is done as it is (a
  // window already shown stays open) and reaches the error box.
  const std::unique_ptr<platform::AutomationObject> browser =
      platform_.automation().create("InternetExplorer.Application");
  browser->put("Visible", true);
  browser->put("left", int32_t{0});
  browser->put("top", int32_t{0});
  browser->put("height", int32_t{screen.height() - 30});
  browser->put("width", int32_t{screen.width() - window.width});
  for (const char* bar : {"menubar", "addressbar", "toolbar", "statusbar", "resizable"})
    browser->put(bar, int32_t{0});
  browser->call("Navigate", {address});
  // Released here; the window lives on by itself.
}

}  // namespace qv::mainwindow
