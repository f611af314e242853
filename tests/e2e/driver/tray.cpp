#include "driver/tray.h"

#include <shellapi.h>

#include "driver/ui.h"

namespace qv::e2e {
namespace {

// What the program gives the shell for its icon: its id and the callback message.
constexpr UINT kIconId = 1;
constexpr UINT kCallbackMessage = WM_USER + 1024;

struct Search {
  DWORD processId;
  HWND found;
};

BOOL CALLBACK matchTrayWindow(HWND window, LPARAM param) {
  auto* search = reinterpret_cast<Search*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner == search->processId && className(window) == L"QuorvaneTrayIcon") {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND trayWindow(DWORD processId) {
  Search search{processId, nullptr};
  EnumWindows(matchTrayWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

bool trayIconShown(HWND window) {
  // A change that changes nothing: the shell accepts it only for an icon it holds.
  NOTIFYICONDATAW data{};
  data.cbSize = NOTIFYICONDATAW_V2_SIZE;
  data.hWnd = window;
  data.uID = kIconId;
  data.uFlags = 0;
  return Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

void doubleClickTrayIcon(HWND window) {
  for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
    PostMessageW(window, kCallbackMessage, kIconId, message);
}

}  // namespace qv::e2e
