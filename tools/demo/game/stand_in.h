#pragma once
// The demo game's stand-in programs: a small window that says what it stands for and closes itself
// after a few seconds, so a demo or test run that starts one is never left waiting. Each start also
// leaves "<program>.started" beside the program, holding its command line, for tests to find.
#include <windows.h>

#include <string>

namespace qv::demo {

inline LRESULT CALLBACK standInProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_TIMER:
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
}

inline void recordStart() {
  wchar_t self[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const std::wstring marker = std::wstring(self, n) + L".started";
  HANDLE f = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  const std::wstring line = GetCommandLineW();
  DWORD written = 0;
  WriteFile(f, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
  CloseHandle(f);
}

inline int runStandIn(HINSTANCE instance, const wchar_t* title, const wchar_t* text) {
  recordStart();
  WNDCLASSW wc{};
  wc.lpfnWndProc = standInProc;
  wc.hInstance = instance;
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = L"QuorvaneDemoStandIn";
  RegisterClassW(&wc);
  HWND hwnd = CreateWindowW(wc.lpszClassName, title, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_VISIBLE,
                            CW_USEDEFAULT, CW_USEDEFAULT, 420, 140, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr) return 1;
  CreateWindowW(L"STATIC", text, WS_CHILD | WS_VISIBLE | SS_CENTER, 10, 30, 390, 40, hwnd, nullptr, instance,
                nullptr);
  SetTimer(hwnd, 1, 8000, nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}

}  // namespace qv::demo
