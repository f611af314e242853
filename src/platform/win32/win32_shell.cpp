#include "platform/win32/win32_shell.h"

#include <windows.h>
// After windows.h, which they build on.
#include <shellapi.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <vector>

#include "common/file_system.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/recycle_file_operation.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_owner_window.h"
#include "platform/win32/win32_text.h"
#include "platform/win32/wine_trash.h"

namespace qv::platform::win32 {

namespace {

// Wine's shell moves an item into its trash by a rename and deletes for good, reporting success,
// whatever it cannot rename there; its bin answers for itself, not for the item (see wine_trash.h).
// So the rename is tried first with a folder of our own, and the item handed over only when it works.
Shell::Recycled recycleIntoWineTrash(const std::wstring& full) {
  switch (checkWineTrash(full)) {
    case WineTrashCheck::Takes:
      break;
    case WineTrashCheck::DoesNotTake:
      return Shell::Recycled::NoRecycleBin;
    case WineTrashCheck::FolderNotWritable:
      return Shell::Recycled::Failed;
  }
  // The buffer is sized to the path, so a long path is passed whole, never cut into another folder's
  // name; the list of one path ends with two nulls.
  std::vector<wchar_t> from(full.begin(), full.end());
  from.resize(from.size() + 2, L'\0');
  SHFILEOPSTRUCTW op{};
  op.hwnd = nullptr;
  op.wFunc = FO_DELETE;
  op.pFrom = from.data();
  op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT;
  const bool ok = ::SHFileOperationW(&op) == 0 && !op.fAnyOperationsAborted;
  // Some shells report success for an item they could not move; what is still there was not recycled.
  if (::GetFileAttributesW(full.c_str()) != INVALID_FILE_ATTRIBUTES) return Shell::Recycled::Failed;
  return ok ? Shell::Recycled::Yes : Shell::Recycled::Failed;
}

}  // namespace

Shell::Recycled Win32Shell::recycle(const std::string& path) {
  // The shell expands wildcards in the source list: a name holding one would take every match along.
  if (path.find_first_of("*?") != std::string::npos) return Recycled::Failed;
  // The recycle bin needs a full path (a relative one is deleted for good).
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
  // A link is never handed over: Wine's bin moves what it points at, and what a bin does with a
  // junction is not the program's to find out. Its callers remove links themselves.
  if (files::isLink(toUtf8(full))) return Recycled::Failed;

  // Where no bin serves the path at all, the item stays.
  SHQUERYRBINFO bin{};
  bin.cbSize = sizeof(bin);
  if (FAILED(::SHQueryRecycleBinW(full.c_str(), &bin))) return Recycled::NoRecycleBin;

  const ComScope com;
  Microsoft::WRL::ComPtr<IFileOperation> operation;
  if (makeFileOperation_) {
    if (FAILED(makeFileOperation_(operation.GetAddressOf())) || !operation) return Recycled::Failed;
  } else if (runningOnWine()) {
    return recycleIntoWineTrash(full);
  } else if (FAILED(::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation)))) {
    // Never the older shell call instead: it would delete for good what the bin cannot take.
    return Recycled::Failed;
  }
  return recycleThroughFileOperation(*operation.Get(), full);
}

void Win32Shell::open(const std::string& target) {
  const std::wstring wide = toWide(target);
  ::ShellExecuteW(programOwnerWindow(), L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

bool Win32Shell::execute(const std::string& commandLine, const StartOptions& options) {
  // CreateProcessW may write into the command line, so it gets its own buffer. A command script is
  // run by the system's command interpreter, which CreateProcessW starts for it.
  std::wstring wide = toWide(commandLine);
  std::vector<wchar_t> buffer(wide.begin(), wide.end());
  buffer.push_back(L'\0');
  const std::wstring directory = toWide(options.workingDirectory);
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  DWORD flags = 0;
  if (options.hidden) {
    // A console program gets no console window at all. No show state is passed on: the programs it
    // starts in turn (the new version of this one) come up as usual.
    flags |= CREATE_NO_WINDOW;
  } else {
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
  }
  PROCESS_INFORMATION info{};
  if (!::CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, flags, nullptr,
                        directory.empty() ? nullptr : directory.c_str(), &startup, &info))
    return false;
  // Started, not waited for: the handles are only closed.
  UniqueHandle process(info.hProcess);
  UniqueHandle thread(info.hThread);
  return true;
}

}  // namespace qv::platform::win32
