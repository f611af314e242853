#include "driver/unix_link.h"

#include <windows.h>

#include "driver/text.h"

namespace qv::e2e {

namespace {

template <class Fn>
Fn wineFunction(const char* name) {
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  return kernel ? reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(kernel, name))) : nullptr;
}

std::wstring dosPathOf(const char* unixPath) {
  auto convert = wineFunction<WCHAR*(CDECL*)(const char*)>("wine_get_dos_file_name");
  if (convert == nullptr) return {};
  WCHAR* dos = convert(unixPath);
  if (dos == nullptr) return {};
  std::wstring out(dos);
  HeapFree(GetProcessHeap(), 0, dos);
  if (out.rfind(L"\\\\?\\", 0) == 0) out.erase(0, 4);
  return out;
}

// A command-line argument as the receiving side splits the line (quotes, and backslashes before them).
std::wstring quoted(const std::wstring& argument) {
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(backslashes * 2, L'\\');
  return out + L"\"";
}

// Starts a Unix program (by its Unix path) with these arguments. Wine hands back a process that may
// end before the program has done its work, and an exit code that says little, so the caller watches
// the disk to know when and whether it worked.
bool runUnix(const char* program, const std::wstring& arguments) {
  const std::wstring executable = dosPathOf(program);
  if (executable.empty()) return false;
  std::wstring commandLine = quoted(executable) + L" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                      nullptr, nullptr, &startup, &info))
    return false;
  WaitForSingleObject(info.hProcess, 30000);
  CloseHandle(info.hThread);
  CloseHandle(info.hProcess);
  return true;
}

std::wstring unixArgument(const std::wstring& windowsPath) {
  const std::string unix = unixPathOf(windowsPath);
  return unix.empty() ? std::wstring() : quoted(wide(unix));
}

// Asks `done` again until it holds or a few seconds have passed.
template <class Done>
bool within(Done done) {
  for (int i = 0; i < 400; ++i) {
    if (done()) return true;
    Sleep(25);
  }
  return done();
}

// The entry itself is there (FindFirstFile lists a link whatever it points at, save a dangling one).
bool entryThere(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE search = FindFirstFileW(path.c_str(), &data);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return true;
}

}  // namespace

bool runningOnWine() {
  HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string unixPathOf(const std::wstring& path) {
  auto convert = wineFunction<char*(CDECL*)(const wchar_t*)>("wine_get_unix_file_name");
  if (convert == nullptr) return {};
  char* unix = convert(path.c_str());
  if (unix == nullptr) return {};
  std::string out(unix);
  HeapFree(GetProcessHeap(), 0, unix);
  return out;
}

bool makeLink(const std::wstring& link, const std::wstring& target) {
  if (runningOnWine()) {
    const std::wstring from = unixArgument(target), to = unixArgument(link);
    return !from.empty() && !to.empty() && runUnix("/bin/ln", L"-s -- " + from + L" " + to) &&
           within([&] { return entryThere(link); });
  }
  const DWORD attributes = GetFileAttributesW(target.c_str());
  DWORD flags = SYMBOLIC_LINK_FLAG_ALLOW_UNPRIVILEGED_CREATE;
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
    flags |= SYMBOLIC_LINK_FLAG_DIRECTORY;
  return CreateSymbolicLinkW(link.c_str(), target.c_str(), flags) != 0;
}

bool removeLink(const std::wstring& link) {
  if (runningOnWine()) {
    const std::wstring path = unixArgument(link);
    return !path.empty() && runUnix("/bin/rm", L"-f -- " + path) && within([&] { return !entryThere(link); });
  }
  const DWORD attributes = GetFileAttributesW(link.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? RemoveDirectoryW(link.c_str()) != 0
                                                 : DeleteFileW(link.c_str()) != 0;
}

bool isReparsePoint(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
}

}  // namespace qv::e2e
