#pragma once
// The window class of panels and of the pages of a page control: a plain child window that routes
// its controls' commands and notifications to them and lays its controls out when it is resized.
#include <windows.h>

namespace qv::platform::win32 {

class ChildHost;

// The registered window class name.
const wchar_t* panelWindowClass();
// Connects a panel window to the host of its controls (null disconnects it).
void setPanelHost(HWND panel, ChildHost* host);

}  // namespace qv::platform::win32
