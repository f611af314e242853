#pragma once
// Finding and working the windows of another process with window messages only, the way assistive
// tools do. Clicks are posted, not sent: a click may open a modal dialog or a message box, and a sent
// message would block this process until that closes.
#include <windows.h>

#include <string>
#include <vector>

namespace qv::e2e {

// Stands for every process where a process id is asked for.
inline constexpr DWORD kAnyProcess = 0;

// Visible top-level windows of the process with exactly this window class.
std::vector<HWND> topLevelWindows(DWORD processId, const std::wstring& className);
// Waits for one; returns null when none appeared within timeoutMs.
HWND waitForTopLevelWindow(DWORD processId, const std::wstring& className, DWORD timeoutMs);
// Waits until no visible window of the class is left; false when one still shows after timeoutMs.
bool waitUntilGone(DWORD processId, const std::wstring& className, DWORD timeoutMs);

// A descendant by control id, at any depth (controls sit inside panels, pages and group boxes).
HWND findControl(HWND root, int id);
std::wstring className(HWND window);

// Sends a message and waits a few seconds for the answer; throws when the window does not answer.
LRESULT sendChecked(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

std::wstring windowText(HWND window);
void setWindowText(HWND window, const std::wstring& text);
RECT windowRect(HWND window);
LONG_PTR windowStyle(HWND window);
LONG_PTR windowExStyle(HWND window);

// Posts the notification a real click sends to the button's parent.
void click(HWND button);
bool isChecked(HWND button);
void setChecked(HWND button, bool checked);

// Moves a tab control to a page with the notifications a user's click gives the owner.
void selectTab(HWND tabControl, int index);
int selectedTab(HWND tabControl);

// Round trip through the window's thread: when it returns, every message posted before has been handled
// (or the thread is stuck in a modal loop, which then also answers). False on time-out.
bool settle(HWND window, DWORD timeoutMs = 5000);

// The system's dots per inch, for comparing laid-out sizes.
int systemDpi();
int scaled(int pixelsAt96Dpi);

}  // namespace qv::e2e
