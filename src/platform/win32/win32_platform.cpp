#include "platform/win32/win32_platform.h"

#include <windows.h>

#include <vector>

#include "common/path.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
std::string modulePath() {
  // The module path can exceed MAX_PATH; grow the buffer until it fits.
  for (DWORD size = MAX_PATH;; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD n = ::GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return {};
    if (n < size || size >= 65536) return toUtf8(std::wstring_view(buffer.data(), n));
  }
}
}  // namespace

Win32Platform::Win32Platform(TransferBounds catalogueBounds)
    : mainLoop_(dialogs_),
      ui_(dialogs_, mainLoop_),
      collation_(codec_),
      // Fetched documents wait in the program folder, the one folder besides the game's that the program
      // writes to.
      xml_(downloader_, path::directoryWithSeparator(modulePath()), catalogueBounds) {}

std::string Win32Platform::programPath() { return modulePath(); }

}  // namespace qv::platform::win32
