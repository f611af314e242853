#pragma once
// The window a message box, file chooser or shell call is owned by.
#include <windows.h>

namespace qv::platform::win32 {

// The program's active window when it is visible; otherwise a visible, enabled top-level window of
// this thread (so a box is never hidden behind our own topmost main window); null when there is none.
HWND programOwnerWindow();

}  // namespace qv::platform::win32
