// Second names for files and copies that keep their stamps, on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/fault_seam.h"
#include "common/file_system.h"

namespace qv::files {

LinkResult createHardLink(std::string_view existing, std::string_view newName) {
  if (!seam::allow(seam::Operation::Link, newName)) return LinkResult::Failed;
  if (::CreateHardLinkW(fsPath(newName).c_str(), fsPath(existing).c_str(), nullptr))
    return LinkResult::Linked;
  switch (::GetLastError()) {
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS:
      return LinkResult::NameTaken;
    case ERROR_INVALID_FUNCTION:  // FAT and exFAT volumes
    case ERROR_NOT_SUPPORTED:
    case ERROR_NOT_SAME_DEVICE:
    case ERROR_TOO_MANY_LINKS:
      return LinkResult::Unsupported;
    default:
      return LinkResult::Failed;
  }
}

bool copyFileKeepingStamps(std::string_view from, std::string_view to) {
  if (!seam::allow(seam::Operation::Create, to)) return false;
  const std::wstring target = fsPath(to).wstring();
  // CopyFileW carries the attributes and the last-write time; TRUE: never over an existing name.
  if (::CopyFileW(fsPath(from).c_str(), target.c_str(), TRUE)) return true;
  const DWORD error = ::GetLastError();
  if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) ::DeleteFileW(target.c_str());
  return false;
}

}  // namespace qv::files
