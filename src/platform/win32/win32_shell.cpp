#include "platform/win32/win32_shell.h"

#include <windows.h>
#include <shellapi.h>

#include <vector>

#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_owner_window.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wine_trash.h"

namespace qv::platform::win32 {

Shell::Recycled Win32Shell::recycle(const std::string& path) {
  // The shell expands wildcards in the source list: a name holding one would take every match along.
  if (path.find_first_of("*?") != std::string::npos) return Recycled::Failed;
  // The recycle bin needs a full path (a relative one is deleted for good). The buffer is sized to the
  // path, so a long path is passed whole, never cut into another folder's name; the list of one path
  // ends with two nulls.
  const std::wstring wide = toWide(path);
  const DWORD n = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (n == 0) return Recycled::Failed;
  std::wstring full(n, L'\0');
  const DWORD got = ::GetFullPathNameW(wide.c_str(), n, full.data(), nullptr);
  if (got == 0 || got >= n) return Recycled::Failed;
  full.resize(got);
  // "C:\games\addon\" names the folder itself, whose own folder is where it lives.
  while (full.size() > 3 && (full.back() == L'\\' || full.back() == L'/')) full.pop_back();
  if (::GetFileAttributesW(full.c_str()) == INVALID_FILE_ATTRIBUTES) return Recycled::Failed;

  // With "allow undo" and "no confirmation" the shell deletes for good whatever its bin cannot take
  // (a drive without one, a bin switched off), and still reports success. So ask first whether a bin
  // serves this path at all; where none does, the item stays.
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof(bin);
  if (FAILED(::SHQueryRecycleBinW(full.c_str(), &bin))) return Recycled::NoRecycleBin;
  // Wine's bin answers for itself, not for the item (see wine_trash.h).
  if (runningOnWine()) {
    switch (checkWineTrash(full)) {
      case WineTrashCheck::Takes:
        break;
      case WineTrashCheck::DoesNotTake:
        return Recycled::NoRecycleBin;
      case WineTrashCheck::FolderNotWritable:
        return Recycled::Failed;
    }
  }

  std::vector<wchar_t> from(full.begin(), full.end());
  from.resize(from.size() + 2, L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
  const bool ok = ::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
  // Some shells report success for an item they could not move; what is still there was not recycled.
  if (::GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) return Recycled::Failed;
  return ok ? Recycled::Yes : Recycled::Failed;
}

void Win32Shell::open(const std::string& target) {
  const std::wstring wide = toWide(target);
  ::ShellExecuteW(programOwnerWindow(), L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void Win32Shell::execute(const std::string& commandLine) {
  // CreateProcessW may write into the command line, so it gets its own buffer.
  std::wstring wide = toWide(commandLine);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_SHOWNORMAL;
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
    return;
  // Started, not waited for: the handles are only closed.
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
}

}  // namespace qv::platform::win32
