#pragma once
// The program's icon in the notification area, seen from outside: its hidden window (class
// "QuorvaneTrayIcon", the window the shell sends the icon's mouse messages to), whether the shell holds
// the icon, and clicks as the shell delivers them.
#include <windows.h>

namespace qv::e2e {

// The tray's hidden window of the process; null when there is none.
HWND trayWindow(DWORD processId);
// True when the notification area holds the process's icon (the shell accepts a change to it).
bool trayIconShown(HWND trayWindow);
// The messages the shell sends for a double click on the icon.
void doubleClickTrayIcon(HWND trayWindow);

}  // namespace qv::e2e
