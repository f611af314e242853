// Whether a file could be moved or deleted now, asked the way MoveFileW itself opens it.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/file_system.h"
#include "common/windows/unique_handles.h"

namespace qv::files {

bool isFreeToMove(std::string_view utf8) {
  // Every sharing granted: the open fails only against a handle that denies deletion to others.
  const windows::UniqueHandle file(::CreateFileW(
      fsPath(utf8).c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return file.valid();
}

}  // namespace qv::files
