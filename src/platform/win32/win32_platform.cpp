#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <vector>

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

Win32Platform::Win32Platform() : mainLoop_(dialogs_), ui_(dialogs_, mainLoop_), collation_(codec_) {}

std::string Win32Platform::programPath() {
  // The module path can exceed MAX_PATH; grow the buffer until it fits.
  for (DWORD size = MAX_PATH;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return {};
    if (n < size || size >= 65536) return toUtf8(std::wstring_view(buffer.data(), n));
  }
}

}  // namespace qv::platform::win32
