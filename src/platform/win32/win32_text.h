#pragma once
// UTF-8 in memory, UTF-16 at the API boundary: the conversions every file of this layer uses.
#include <windows.h>

#include <string>
#include <string_view>

namespace qv::platform::win32 {

std::wstring toWide(std::string_view utf8);
std::string toUtf8(std::wstring_view wide);

// A path for the file APIs: "/" becomes "\" and an absolute path too long for MAX_PATH gets the
// "\\?\" prefix (which turns off the API's own normalisation, hence the separator fix).
std::wstring toWidePath(std::string_view utf8);

// The whole text of a window, however long.
std::wstring windowTextW(HWND hwnd);

}  // namespace qv::platform::win32
