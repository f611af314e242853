// The start-up benchmark's floor: the main window's native parts and nothing else. It makes the same
// frame, menu bar and child windows as Quorvane.exe (classes, styles, sizes, the Chinese texts and the
// common-controls manifest), straight with the Win32 API, and shows them. No settings, catalogue,
// downloads, browser or tray. What the system charges for this window is the least Quorvane.exe can
// cost; the benchmark prints it beside the program and the bare window.
#include <windows.h>
// After windows.h, which it builds on.
#include <commctrl.h>

#include "resource_ids.h"

namespace {

constexpr wchar_t kFrameClass[] = L"QvControlFloor";
constexpr wchar_t kPanelClass[] = L"QvControlFloorPanel";

HFONT font = nullptr;

LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND child(HWND parent, const wchar_t* windowClass, const wchar_t* text, DWORD style, int x, int y, int width,
           int height, DWORD exStyle = 0) {
  HWND hwnd = CreateWindowExW(exStyle, windowClass, text, WS_CHILD | style, x, y, width, height, parent,
                              nullptr, GetModuleHandleW(nullptr), nullptr);
  SendMessageW(hwnd, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
  return hwnd;
}

HWND panel(HWND parent, int x, int y, int width, int height) {
  return child(parent, kPanelClass, L"", WS_VISIBLE | WS_CLIPSIBLINGS, x, y, width, height,
               WS_EX_CONTROLPARENT);
}

HWND label(HWND parent, const wchar_t* text, int x, int y, int width) {
  return child(parent, L"STATIC", text, WS_VISIBLE | SS_NOPREFIX | WS_CLIPSIBLINGS | SS_LEFTNOWORDWRAP, x, y,
               width, 13);
}

HWND button(HWND parent, const wchar_t* text, int x, int y, int width, int height, bool visible = true) {
  return child(parent, L"BUTTON", text, (visible ? WS_VISIBLE : 0) | BS_PUSHBUTTON | WS_TABSTOP, x, y, width,
               height);
}

void registerClass(const wchar_t* name, WNDPROC proc, int brush) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.lpfnWndProc = proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(brush + 1));
  wc.lpszClassName = name;
  RegisterClassExW(&wc);
}

HMENU menuBar() {
  HMENU bar = CreateMenu();
  HMENU file = CreatePopupMenu();
  AppendMenuW(file, MF_STRING, 1, L"更新 UI");
  AppendMenuW(file, MF_STRING, 2, L"啟動遊戲");
  AppendMenuW(file, MF_STRING, 3, L"退出");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"檔案");
  AppendMenuW(bar, MF_STRING | MF_CHECKED, 4, L"Pellmoor");
  AppendMenuW(bar, MF_STRING, 5, L"劍俠3專區");
  HMENU options = CreatePopupMenu();
  AppendMenuW(options, MF_STRING, 6, L"設置");
  AppendMenuW(options, MF_STRING, 7, L"恢復視窗");
  AppendMenuW(options, MF_STRING, 8, L"啟動程式(&I)");
  AppendMenuW(options, MF_STRING, 9, L"更新");
  AppendMenuW(options, MF_SEPARATOR, 0, nullptr);
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(options), L"選項(&C)");
  HMENU help = CreatePopupMenu();
  AppendMenuW(help, MF_STRING, 10, L"幫助(&H)");
  AppendMenuW(help, MF_STRING, 11, L"關于(&A)");
  AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(help), L"幫助(&H)");
  return bar;
}

void listView(HWND parent, int width, int height) {
  HWND list = child(parent, WC_LISTVIEWW, L"", WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, 0, 17,
                    width, height, WS_EX_CLIENTEDGE);
  const DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP;
  SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  const wchar_t* captions[] = {L"名稱", L"狀態", L"中文名", L"描述"};
  const int widths[] = {120, 60, 140, 230};
  for (int i = 0; i < 4; ++i) {
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<wchar_t*>(captions[i]);
    column.cx = widths[i];
    SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int show) {
  INITCOMMONCONTROLSEX controls{sizeof controls,
                                ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
  font = CreateFontIndirectW(&metrics.lfMessageFont);
  registerClass(kFrameClass, frameProc, COLOR_BTNFACE);
  registerClass(kPanelClass, DefWindowProcW, COLOR_BTNFACE);

  HWND frame = CreateWindowExW(WS_EX_TOPMOST, kFrameClass, L"QuorvaneTW Ver1.0",
                               WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN,
                               439, 246, 588, 557, nullptr, menuBar(), instance, nullptr);
  RECT client{};
  GetClientRect(frame, &client);
  const int width = client.right;
  const int middle = client.bottom - 62 - 119;

  // The top strip and the portal's host window (its engine comes after the first paint).
  HWND top = panel(frame, 0, 0, width, 62);
  child(top, kPanelClass, L"", WS_VISIBLE | WS_CLIPCHILDREN | WS_CLIPSIBLINGS, 0, 0, width, 62);

  // The list with its counter strip.
  HWND centre = panel(frame, 0, 62, width, middle);
  HWND counters = panel(centre, 0, 0, width, 17);
  label(counters, L"UI 列錶", 2, 0, 70);
  label(counters, L"噹前UI 個數:", 80, 0, 90);
  label(counters, L"0", 176, 0, 36);
  label(counters, L"安裝個數", 214, 0, 70);
  label(counters, L"0", 292, 0, 40);
  label(counters, L"未安裝", 336, -1, 50);
  label(counters, L"0", 392, 0, 44);
  label(counters, L"0", 440, 0, 136);
  listView(centre, width, middle - 17);

  // The bottom panel: commands, the start-game picture, the status line and the progress bar.
  HWND bottom = panel(frame, 0, client.bottom - 119, width, 119);
  button(bottom, L"全部選擇", 10, 6, 92, 24);
  button(bottom, L"全部取消", 108, 6, 92, 24);
  button(bottom, L"更新 UI", 207, 6, 92, 24);
  button(bottom, L" 操作設置", 306, 6, 92, 24);
  button(bottom, L"放大列表", 404, 6, 92, 24);
  button(bottom, L"安裝選中UI", 13, 39, 170, 40);
  button(bottom, L"  移除選中 UI", 189, 39, 170, 40);
  HWND group =
      child(bottom, L"BUTTON", L"更新列錶內UI", WS_VISIBLE | BS_GROUPBOX | WS_CLIPSIBLINGS, 432, 48, 57, 49);
  button(group, L"down", 8, 16, 41, 25, false);
  HWND picture =
      child(bottom, L"BUTTON", L"", WS_VISIBLE | BS_PUSHBUTTON | BS_ICON | WS_TABSTOP, 372, 43, 189, 61);
  // The start-game picture from the program's own resources, at the size the program draws it.
  SendMessageW(picture, BM_SETIMAGE, IMAGE_ICON,
               reinterpret_cast<LPARAM>(LoadImageW(instance, MAKEINTRESOURCEW(QV_RESOURCE_START_GAME_PICTURE),
                                                   IMAGE_ICON, 165, 45, 0)));
  label(bottom, L"正常", 8, 87, 52);
  child(bottom, PROGRESS_CLASSW, L"", WS_VISIBLE, 64, 86, 296, 16);
  button(bottom, L"check", 496, 8, 75, 25, false);
  button(bottom, L"INI", 504, 9, 75, 25, false);

  ShowWindow(frame, show);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 0;
}
