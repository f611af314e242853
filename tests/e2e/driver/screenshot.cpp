#include "driver/screenshot.h"

#include <stdexcept>
#include <string>

#include "driver/files.h"
#include "driver/ui.h"

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

template <class T>
void append(std::string& out, const T& value) {
  out.append(reinterpret_cast<const char*>(&value), sizeof value);
}

}  // namespace

void saveScreenshot(HWND window, const std::wstring& bmpPath) {
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  settle(window);
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
