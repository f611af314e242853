// Single folders made exclusively, and the name the file system holds for an entry, on Windows.
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include "common/fault_seam.h"
#include "common/file_system.h"
#include "common/path.h"
#include "common/windows/unique_handles.h"

namespace qv::files {

namespace {

std::string utf8Of(const wchar_t* wide) {
  return path::fromFs(std::filesystem::path(wide));
}

}  // namespace

bool createDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  return ::CreateDirectoryW(fsPath(utf8).c_str(), nullptr) != FALSE;
}

std::string storedName(std::string_view utf8) {
  const std::string_view last = path::fileNameOf(utf8);
  // A search pattern would match other names; such a name cannot exist on Windows anyway.
  if (last.empty() || last.find_first_of("*?") != std::string_view::npos) return {};
  WIN32_FIND_DATAW data;
  const windows::UniqueFindHandle find(
      ::FindFirstFileExW(fsPath(utf8).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0));
  if (!find.valid()) return {};
  return utf8Of(data.cFileName);
}

}  // namespace qv::files
