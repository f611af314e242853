#pragma once
// Pictures of windows for review: what is on the screen inside the window's frame, as a 24-bit BMP.
#include <windows.h>

#include <string>

namespace qv::e2e {

// Repaints the window, waits for its thread to have painted, then copies it from the screen.
void saveScreenshot(HWND window, const std::wstring& bmpPath);

}  // namespace qv::e2e
