#include "portal/browser_window.h"

namespace qv::portal {

void openInBrowserWindow(platform::Screen& screen, platform::Automation& automation, platform::Form& beside,
                         const std::string& address) {
  const platform::Rect window = screen.formBounds(beside);
  screen.moveForm(beside, screen.width() - window.width, window.top);

  const std::unique_ptr<platform::AutomationObject> browser = automation.create("InternetExplorer.Application");
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

}  // namespace qv::portal
