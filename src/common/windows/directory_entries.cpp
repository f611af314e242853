// One folder's entries, single folders, and names as the file system compares them, on Windows. A
// reparse point (a junction or a symbolic link) is listed as what it is, never as the folder it
// leads to.
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

namespace qv::files {

namespace {

std::string utf8Of(const wchar_t* wide) {
  return path::fromFs(std::filesystem::path(wide));
}

TreeEntry::Kind kindOf(DWORD attributes) {
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return TreeEntry::Kind::Other;
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return TreeEntry::Kind::Directory;
  return TreeEntry::Kind::File;
}

}  // namespace

bool listDirectory(std::string_view directory, std::vector<TreeEntry>& entries) {
  entries.clear();
  std::string pattern(directory);
  if (!pattern.empty() && pattern.back() != '\\' && pattern.back() != '/') pattern += '\\';
  pattern += '*';
  WIN32_FIND_DATAW data;
  const HANDLE find = ::FindFirstFileExW(fsPath(pattern).c_str(), FindExInfoBasic, &data,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (find == INVALID_HANDLE_VALUE) return false;
  do {
    const std::wstring_view name = data.cFileName;
    if (name == L"." || name == L"..") continue;
    entries.push_back({utf8Of(data.cFileName), kindOf(data.dwFileAttributes)});
  } while (::FindNextFileW(find, &data));
  const bool ok = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(find);
  return ok;
}

bool createDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  return ::CreateDirectoryW(fsPath(utf8).c_str(), nullptr) != FALSE;
}

std::string nameKey(std::string_view name) {
  // NTFS compares names through its table of upper-case letters, one UTF-16 unit at a time; the
  // invariant locale's upper-casing is that mapping.
  const std::wstring wide = path::toFs(name).wstring();
  if (wide.empty()) return {};
  std::wstring upper(wide.size(), L'\0');
  const int n =
      ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), static_cast<int>(wide.size()),
                      upper.data(), static_cast<int>(upper.size()), nullptr, nullptr, 0);
  if (n <= 0) return std::string(name);
  upper.resize(static_cast<size_t>(n));
  return utf8Of(upper.c_str());
}

std::string storedName(std::string_view utf8) {
  const std::string_view last = path::fileNameOf(utf8);
  // A search pattern would match other names; such a name cannot exist on Windows anyway.
  if (last.empty() || last.find_first_of("*?") != std::string_view::npos) return {};
  WIN32_FIND_DATAW data;
  const HANDLE find =
      ::FindFirstFileExW(fsPath(utf8).c_str(), FindExInfoBasic, &data, FindExSearchNameMatch, nullptr, 0);
  if (find == INVALID_HANDLE_VALUE) return {};
  ::FindClose(find);
  return utf8Of(data.cFileName);
}

}  // namespace qv::files
