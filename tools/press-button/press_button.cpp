// press-button CLASS ID [WAIT_ID [WAIT_TEXT]]
// Waits for a visible top-level window of the window class CLASS, clicks its control ID the way a
// user's click arrives (WM_COMMAND to the control's parent) and, when WAIT_ID is given, waits until that
// control's text changes (or, with WAIT_TEXT, until it reads exactly that). Exit status 0 on success, 1
// on a time-out.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

struct Search {
  int id;
  HWND found;
};

BOOL CALLBACK findChild(HWND hwnd, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  if (GetDlgCtrlID(hwnd) == s->id) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

HWND child(HWND top, int id) {
  Search s{id, nullptr};
  EnumChildWindows(top, findChild, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

std::wstring textOf(HWND hwnd) {
  wchar_t buf[512] = {};
  DWORD_PTR len = 0;
  SendMessageTimeoutW(hwnd, WM_GETTEXT, 512, reinterpret_cast<LPARAM>(buf), SMTO_ABORTIFHUNG, 2000, &len);
  return buf;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) {
    std::fwprintf(stderr, L"usage: press-button CLASS ID [WAIT_ID [WAIT_TEXT]]\n");
    return 2;
  }
  const int id = _wtoi(argv[2]);
  const int waitId = argc > 3 ? _wtoi(argv[3]) : 0;
  const wchar_t* waitText = argc > 4 ? argv[4] : nullptr;
  HWND top = nullptr;
  HWND button = nullptr;
  for (int i = 0; i < 300 && !button; ++i) {
    top = FindWindowW(argv[1], nullptr);
    if (top && IsWindowVisible(top)) button = child(top, id);
    if (!button) Sleep(100);
  }
  if (!button) return 1;
  HWND watched = waitId ? child(top, waitId) : nullptr;
  const std::wstring before = watched ? textOf(watched) : std::wstring();
  PostMessageW(GetParent(button), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  if (!watched) return 0;
  for (int i = 0; i < 300; ++i) {
    const std::wstring now = textOf(watched);
    if (waitText ? now == waitText : now != before) return 0;
    Sleep(100);
  }
  return 1;
}
