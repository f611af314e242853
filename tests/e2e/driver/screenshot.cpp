#include "driver/screenshot.h"

#include <stdexcept>
#include <string>

#include "driver/files.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

// Releases the GDI objects of one capture in the reverse order of their making.
struct ScreenCapture {
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  ScreenCapture() = default;
  ScreenCapture(const ScreenCapture&) = delete;
  ScreenCapture& operator=(const ScreenCapture&) = delete;
  ~ScreenCapture() {
    if (previous) SelectObject(memory, previous);
    if (bitmap) DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
  }
};

BOOL CALLBACK noteUnpainted(HWND window, LPARAM param) {
  if (IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE)) {
    *reinterpret_cast<bool*>(param) = true;
    return FALSE;
  }
  return TRUE;
}

// Painting happens when the owner's queue runs dry, after every sent message, so a round trip alone
// does not prove it; an update region left on any window of the tree means it has not painted yet.
bool paintedAll(HWND window) {
  bool unpainted = IsWindowVisible(window) && GetUpdateRect(window, nullptr, FALSE);
  if (!unpainted) EnumChildWindows(window, noteUnpainted, reinterpret_cast<LPARAM>(&unpainted));
  return !unpainted;
}

template <class T>
void append(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

bool waitUntilPainted(HWND window) {
  settle(window);
  const bool painted = pollUntil([&] { return paintedAll(window); }, kReactionTimeoutMs);
  settle(window);
  return painted;
}

COLORREF screenPixel(POINT at) {
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

void saveScreenshot(HWND window, const std::wstring& bmpPath) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  waitUntilPainted(window);
  saveScreenContents(window, bmpPath);
}

void saveScreenContents(HWND window, const std::wstring& bmpPath) {
  const RECT r = windowRect(window);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  if (width <= 0 || height <= 0) throw std::runtime_error("window has no area to capture");

  BITMAPINFOHEADER header{};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;  // bottom-up, as BMP files store rows
  header.biPlanes = 1;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  const DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
  header.biSizeImage = stride * static_cast<DWORD>(height);

  ScreenCapture capture;
  void* bits = nullptr;
  capture.bitmap = CreateDIBSection(capture.screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  if (!capture.bitmap || !bits) throw std::runtime_error("cannot make a bitmap for the capture");
  capture.previous = SelectObject(capture.memory, capture.bitmap);
  if (!BitBlt(capture.memory, 0, 0, width, height, capture.screen, r.left, r.top, SRCCOPY | CAPTUREBLT))
    throw std::runtime_error("cannot copy the window from the screen");
  GdiFlush();

  BITMAPFILEHEADER file{};
  file.bfType = 0x4D42;  // "BM"
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + header.biSizeImage;
  std::string out;
  out.reserve(file.bfSize);
  append(out, file);
  append(out, header);
  out.append(static_cast<const char*>(bits), header.biSizeImage);
  writeBytes(bmpPath, out);
}

}  // namespace qv::e2e
