// Quorvane.exe's entry point: prepares COM and the common controls, builds the Windows platform and
// runs the application on it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include "app/application.h"
#include "platform/win32/win32_platform.h"

namespace {
// COM stays initialised for the life of the process (the XML engine and the shell use it).
class ComApartment {
 public:
  ComApartment() : ok_(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE))) {}
  ~ComApartment() {
    if (ok_) ::CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool ok_;
};
}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    ComApartment com;
    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES |
                     ICC_BAR_CLASSES;
    ::InitCommonControlsEx(&controls);
    qv::platform::win32::Win32Platform platform;
    qv::app::runApplication(platform, QUORVANE_CAPTION);
  } catch (...) {
    // Nothing is left to report to: the application's own error boundary has shown what it could.
  }
  return 0;
}
