#pragma once
// What windows look like on the screen: pictures for review: what is on the screen inside the window's frame, as a 24-bit BMP.
#include <windows.h>

#include <string>

namespace qv::e2e {

// Waits until the window and all its children have painted what was invalid; false on time-out.
bool waitUntilPainted(HWND window);
// One pixel of the screen as it shows now.
COLORREF screenPixel(POINT at);

// Repaints the window, waits for its thread to have painted, then copies it from the screen.
void saveScreenshot(HWND window, const std::wstring& bmpPath);
// Copies the window from the screen as it shows now. For a window of the calling thread, whose
// painting reaches the screen only while the thread handles its messages (a repaint right before the
// copy would be caught half-way).
void saveScreenContents(HWND window, const std::wstring& bmpPath);

}  // namespace qv::e2e
