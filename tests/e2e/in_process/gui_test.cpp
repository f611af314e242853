#include "gui_test.h"

#include "platform/win32/win32_form.h"

namespace qv::in_process {

bool RecordingDialogs::askYesNo(const std::string& text, const std::string&, bool) {
  shown.push_back(text);
  return false;
}

bool RecordingDialogs::askOkCancel(const std::string& text, const std::string&) {
  shown.push_back(text);
  return false;
}

GuiTest::GuiTest() = default;

GuiTest::~GuiTest() {
  // Nothing a case left queued (a quit, a posted call) reaches the next case.
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message != WM_QUIT) ::DispatchMessageW(&msg);
  }
}

std::unique_ptr<platform::Form> GuiTest::makeForm(const std::string& name) {
  return factory_.createForm({name, name, {100, 100, 400, 300}, true, false, false});
}

void GuiTest::pumpFor(DWORD milliseconds) {
  const ULONGLONG end = ::GetTickCount64() + milliseconds;
  pumpUntil([end] { return ::GetTickCount64() >= end; }, milliseconds + 1000);
}

bool GuiTest::pumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  const ULONGLONG end = ::GetTickCount64() + timeoutMs;
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) {
        // Left for takeQuit to see.
        ::PostQuitMessage(static_cast<int>(msg.wParam));
        break;
      }
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done()) return true;
    if (::GetTickCount64() >= end) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
}

bool GuiTest::takeQuit() {
  MSG msg;
  return ::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

HWND windowOf(platform::Form& form) {
  return dynamic_cast<platform::win32::Win32Form&>(form).hwnd();
}

}  // namespace qv::in_process
