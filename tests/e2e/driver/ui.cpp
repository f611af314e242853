#include "driver/ui.h"

#include <commctrl.h>

#include <stdexcept>

#include "driver/wait.h"

namespace qv::e2e {
namespace {

constexpr UINT kSendTimeoutMs = 5000;

struct TopLevelSearch {
  DWORD processId;
  const std::wstring* className;
  std::vector<HWND> found;
};

BOOL CALLBACK collectTopLevel(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<TopLevelSearch*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if ((search->processId == kAnyProcess || owner == search->processId) && IsWindowVisible(window) && className(window) == *search->className)
    search->found.push_back(window);
  return TRUE;
}

struct ControlSearch {
  int id;
  HWND found;
};

BOOL CALLBACK matchControl(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<ControlSearch*>(param);
  if (GetDlgCtrlID(window) == search->id) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

LRESULT sendChecked(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
    throw std::runtime_error("window does not answer message " + std::to_string(message));
  return static_cast<LRESULT>(result);
}

std::vector<HWND> topLevelWindows(DWORD processId, const std::wstring& wantedClass) {
  TopLevelSearch search{processId, &wantedClass, {}};
  EnumWindows(collectTopLevel, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND waitForTopLevelWindow(DWORD processId, const std::wstring& wantedClass, DWORD timeoutMs) {
  return pollUntil(
      [&]() -> HWND {
        auto found = topLevelWindows(processId, wantedClass);
        return found.empty() ? nullptr : found.front();
      },
      timeoutMs);
}

bool waitUntilGone(DWORD processId, const std::wstring& wantedClass, DWORD timeoutMs) {
  return pollUntil([&] { return topLevelWindows(processId, wantedClass).empty(); }, timeoutMs);
}

HWND findControl(HWND root, int id) {
  ControlSearch search{id, nullptr};
  EnumChildWindows(root, matchControl, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::wstring className(HWND window) {
  wchar_t name[256] = {};
  const int n = GetClassNameW(window, name, 256);
  return std::wstring(name, n > 0 ? static_cast<size_t>(n) : 0);
}

std::wstring windowText(HWND window) {
  const auto length = static_cast<size_t>(sendChecked(window, WM_GETTEXTLENGTH, 0, 0));
  std::wstring text(length + 1, L'\0');
  const auto copied = static_cast<size_t>(
      sendChecked(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
  text.resize(copied < length ? copied : length);
  return text;
}

void setWindowText(HWND window, const std::wstring& text) {
  sendChecked(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

RECT windowRect(HWND window) {
  RECT r{};
  GetWindowRect(window, &r);
  return r;
}

LONG_PTR windowStyle(HWND window) { return GetWindowLongPtrW(window, GWL_STYLE); }
LONG_PTR windowExStyle(HWND window) { return GetWindowLongPtrW(window, GWL_EXSTYLE); }

void click(HWND button) {
  const int id = GetDlgCtrlID(button);
  if (!PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button)))
    throw std::runtime_error("cannot post a click to control " + std::to_string(id));
}

bool isChecked(HWND button) { return sendChecked(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void setChecked(HWND button, bool checked) {
  sendChecked(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void selectTab(HWND tabControl, int index) { sendChecked(tabControl, TCM_SETCURFOCUS, index, 0); }

int selectedTab(HWND tabControl) { return static_cast<int>(sendChecked(tabControl, TCM_GETCURSEL, 0, 0)); }

bool settle(HWND window, DWORD timeoutMs) {
  DWORD_PTR ignored = 0;
  return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &ignored) != 0;
}

int systemDpi() {
  HDC screen = GetDC(nullptr);
  const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return dpi;
}

int scaled(int pixelsAt96Dpi) { return MulDiv(pixelsAt96Dpi, systemDpi(), 96); }

}  // namespace qv::e2e
