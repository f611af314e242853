#include "platform/win32/wine_trash.h"

#include <windows.h>

#include <string_view>

#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
// Wine's kernel32 turns a Unix path into a Windows one; the result is the caller's to free.
using DosFileNameFn = WCHAR*(CDECL*)(const char* unixPath);

std::wstring environment(const wchar_t* name) {
  const DWORD n = ::GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return {};
  std::wstring value(n, L'\0');
  const DWORD got = ::GetEnvironmentVariableW(name, value.data(), n);
  value.resize(got < n ? got : 0);
  return value;
}

std::wstring dosPathOfUnixPath(const std::wstring& unixPath) {
  HMODULE kernel = ::GetModuleHandleW(L"kernel32.dll");
  auto convert = kernel ? reinterpret_cast<DosFileNameFn>(
                              reinterpret_cast<void*>(::GetProcAddress(kernel, "wine_get_dos_file_name")))
                        : nullptr;
  if (convert == nullptr) return {};
  WCHAR* dos = convert(toUtf8(unixPath).c_str());
  if (dos == nullptr) return {};
  std::wstring out(dos);
  ::HeapFree(::GetProcessHeap(), 0, dos);
  // A Windows path the file functions take as it is: without the "\\?\" form Wine may hand back.
  constexpr std::wstring_view kLong = L"\\\\?\\";
  if (out.starts_with(kLong) && out.size() > kLong.size() + 1 && out[kLong.size() + 1] == L':')
    out.erase(0, kLong.size());
  return out;
}

bool isDirectory(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring folderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

std::wstring probeName() {
  return L".quorvane-recycle-probe-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
         std::to_wstring(::GetTickCount64());
}

// Whether a new file can be made in `folder` (the trash's info folder, where Wine writes the note
// that lets the desktop restore the item). The file goes again as it is closed.
bool canWriteIn(const std::wstring& folder, const std::wstring& name) {
  const std::wstring file = folder + L"\\" + name + L".tmp";
  HANDLE h = ::CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return false;
  ::CloseHandle(h);
  return true;
}
}  // namespace

bool runningOnWine() {
  HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::wstring wineTrashDirectory() {
  // The trash specification ignores a relative XDG_DATA_HOME, as Wine does.
  const std::wstring dataHome = environment(L"XDG_DATA_HOME");
  if (!dataHome.empty() && dataHome.front() == L'/') {
    const std::wstring dos = dosPathOfUnixPath(dataHome);
    return dos.empty() ? std::wstring() : dos + L"\\Trash";
  }
  // Wine hands its programs the Unix home as an NT path ("\??\Z:\home\user").
  std::wstring home = environment(L"WINEHOMEDIR");
  constexpr std::wstring_view kNtPrefix = L"\\??\\";
  if (home.starts_with(kNtPrefix)) home.erase(0, kNtPrefix.size());
  if (home.empty()) return {};
  return home + L"\\.local\\share\\Trash";
}

WineTrashCheck checkWineTrash(const std::wstring& item) {
  const std::wstring trash = wineTrashDirectory();
  const std::wstring files = trash + L"\\files";
  const std::wstring info = trash + L"\\info";
  if (trash.empty() || !isDirectory(files) || !isDirectory(info)) return WineTrashCheck::DoesNotTake;

  const std::wstring folder = folderOf(item);
  if (folder.empty()) return WineTrashCheck::DoesNotTake;
  const std::wstring name = probeName();
  const std::wstring probe = folder + L"\\" + name;
  if (!::CreateDirectoryW(probe.c_str(), nullptr)) return WineTrashCheck::FolderNotWritable;
  // A plain rename, as Wine's own move: it fails between file systems instead of copying.
  const std::wstring moved = files + L"\\" + name;
  if (!::MoveFileExW(probe.c_str(), moved.c_str(), 0)) {
    ::RemoveDirectoryW(probe.c_str());
    return WineTrashCheck::DoesNotTake;
  }
  ::RemoveDirectoryW(moved.c_str());
  return canWriteIn(info, name) ? WineTrashCheck::Takes : WineTrashCheck::DoesNotTake;
}

}  // namespace qv::platform::win32
