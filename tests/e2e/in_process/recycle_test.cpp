// Sending add-on folders to the recycle bin under Wine, where the bin is the Unix user's trash
// ($XDG_DATA_HOME/Trash). Each case starts a child process with the data folder it is about, since a
// process settles on its trash once. The bin must take a folder whole and restorably, and where it
// cannot take it the folder must stay: Wine itself would delete it for good and report success.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it builds on.
#include <shellapi.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/shell.h"
#include "platform/win32/win32_shell.h"
#include "recycle_child.h"

namespace qv::in_process {
namespace {

using Recycled = platform::Shell::Recycled;

std::wstring unixPathOf(const std::wstring& dos) {
  using Fn = char*(CDECL*)(const wchar_t*);
  auto convert = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
  if (convert == nullptr) return {};
  char* unix = convert(dos.c_str());
  if (unix == nullptr) return {};
  std::wstring out(unix, unix + std::char_traits<char>::length(unix));
  ::HeapFree(::GetProcessHeap(), 0, unix);
  return out;
}

std::wstring dosPathOf(const char* unixPath) {
  using Fn = wchar_t*(CDECL*)(const char*);
  auto convert = reinterpret_cast<Fn>(reinterpret_cast<void*>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
  if (convert == nullptr) return {};
  wchar_t* dos = convert(unixPath);
  if (dos == nullptr) return {};
  std::wstring out(dos);
  ::HeapFree(::GetProcessHeap(), 0, dos);
  if (out.rfind(L"\\\\?\\", 0) == 0) out.erase(0, 4);
  return out;
}

bool exists(const std::wstring& path) {
  return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::string readFile(const std::wstring& path) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

void writeFile(const std::wstring& path, const std::string& text) {
  std::ofstream(std::filesystem::path(path), std::ios::binary) << text;
}

void removeTree(const std::wstring& path) {
  std::wstring from = path;
  from.append(2, L'\0');
  SHFILEOPSTRUCTW op{};
  op.wFunc = FO_DELETE;
  op.pFrom = from.c_str();
  op.fFlags = FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
  ::SHFileOperationW(&op);
}

std::wstring volumeOf(const std::wstring& path) {
  wchar_t volume[MAX_PATH] = {};
  return ::GetVolumePathNameW(path.c_str(), volume, MAX_PATH) ? std::wstring(volume) : std::wstring();
}

std::string narrow(const std::wstring& ascii) {
  return std::string(ascii.begin(), ascii.end());
}

class RecycleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    root_ = std::wstring(temp) + L"qv-recycle-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
            std::to_wstring(++caseNumber_);
    interface_ = root_ + L"\\game\\Interface";
    ::CreateDirectoryW(root_.c_str(), nullptr);
    ::CreateDirectoryW((root_ + L"\\game").c_str(), nullptr);
    ::CreateDirectoryW(interface_.c_str(), nullptr);
    addon_ = interface_ + L"\\AddonA";
    ::CreateDirectoryW(addon_.c_str(), nullptr);
    ::CreateDirectoryW((addon_ + L"\\skin").c_str(), nullptr);
    writeFile(addon_ + L"\\skin\\main.lua", "print('AddonA')\n");
    ASSERT_TRUE(exists(addon_ + L"\\skin\\main.lua"));
  }
  void TearDown() override {
    removeTree(root_);
    for (const auto& extra : extraTrees_) removeTree(extra);
  }

  // Starts the child with XDG_DATA_HOME naming `dataHome` (a Windows path, handed over as its Unix
  // path, the way the variable comes from a Linux desktop) and returns its answer.
  int recycleInChild(const std::wstring& path, const std::wstring& dataHome) {
    const std::wstring unixDataHome = unixPathOf(dataHome);
    EXPECT_FALSE(unixDataHome.empty());
    ::SetEnvironmentVariableW(L"XDG_DATA_HOME", unixDataHome.c_str());
    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    // Backslashes before the closing quote are doubled, or the last one would escape the quote.
    std::wstring quoted = path;
    for (size_t n = quoted.size(); n > 0 && quoted[n - 1] == L'\\'; --n) quoted += L'\\';
    std::wstring commandLine = L"\"" + std::wstring(self) + L"\" " + kRecycleSwitch + L" \"" + quoted + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                          nullptr, &startup, &info);
    ::SetEnvironmentVariableW(L"XDG_DATA_HOME", nullptr);
    if (!started) return -1;
    DWORD code = 1;
    if (::WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0)
      ::GetExitCodeProcess(info.hProcess, &code);
    ::CloseHandle(info.hThread);
    ::CloseHandle(info.hProcess);
    return static_cast<int>(code);
  }
  static int answer(Recycled recycled) { return kRecycleExitBase + static_cast<int>(recycled); }
  // Nothing the bin check makes beside the item may stay there.
  void expectNoProbeLeft() {
    WIN32_FIND_DATAW found{};
    HANDLE search = ::FindFirstFileW((interface_ + L"\\.quorvane*").c_str(), &found);
    EXPECT_EQ(search, INVALID_HANDLE_VALUE) << "left behind: " << narrow(found.cFileName);
    if (search != INVALID_HANDLE_VALUE) ::FindClose(search);
  }

  static inline int caseNumber_ = 0;
  std::wstring root_;
  std::wstring interface_;
  std::wstring addon_;
  std::vector<std::wstring> extraTrees_;
};

TEST_F(RecycleTest, FolderGoesToTheTrashWholeAndCanBeRestored) {
  const std::wstring data = root_ + L"\\data";
  ::CreateDirectoryW(data.c_str(), nullptr);
  EXPECT_EQ(recycleInChild(addon_, data), answer(Recycled::Yes));
  EXPECT_FALSE(exists(addon_));
  const std::wstring inTrash = data + L"\\Trash\\files\\AddonA";
  EXPECT_EQ(readFile(inTrash + L"\\skin\\main.lua"), "print('AddonA')\n");
  // The note the desktop's trash restores from names where the folder was.
  const std::string note = readFile(data + L"\\Trash\\info\\AddonA.trashinfo");
  EXPECT_NE(note.find("Path=" + narrow(unixPathOf(addon_))), std::string::npos) << note;
  expectNoProbeLeft();
  // Restoring puts it back as it was.
  ASSERT_TRUE(::MoveFileW(inTrash.c_str(), addon_.c_str()));
  EXPECT_EQ(readFile(addon_ + L"\\skin\\main.lua"), "print('AddonA')\n");
}

TEST_F(RecycleTest, TrailingSeparatorStillRecyclesTheFolderItself) {
  const std::wstring data = root_ + L"\\data";
  ::CreateDirectoryW(data.c_str(), nullptr);
  EXPECT_EQ(recycleInChild(addon_ + L"\\", data), answer(Recycled::Yes));
  EXPECT_FALSE(exists(addon_));
  EXPECT_TRUE(exists(data + L"\\Trash\\files\\AddonA\\skin\\main.lua"));
  expectNoProbeLeft();
}

TEST_F(RecycleTest, UserWithoutADataFolderKeepsTheFolder) {
  const std::wstring missing = root_ + L"\\no-data-folder";
  EXPECT_EQ(recycleInChild(addon_, missing), answer(Recycled::NoRecycleBin));
  EXPECT_EQ(readFile(addon_ + L"\\skin\\main.lua"), "print('AddonA')\n");
  EXPECT_FALSE(exists(missing));
  expectNoProbeLeft();
}

TEST_F(RecycleTest, FolderOnAnotherFileSystemThanTheTrashStays) {
  // The trash on the memory file system, the folder on the disk: the trash cannot take it by a rename.
  const std::wstring shm = dosPathOf("/dev/shm");
  ASSERT_FALSE(shm.empty());
  const std::wstring data = shm + L"\\qv-recycle-" + std::to_wstring(::GetCurrentProcessId());
  ASSERT_TRUE(::CreateDirectoryW(data.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
  extraTrees_.push_back(data);
  ASSERT_NE(volumeOf(data), volumeOf(addon_)) << "the case needs /dev/shm on a file system of its own";

  EXPECT_EQ(recycleInChild(addon_, data), answer(Recycled::NoRecycleBin));
  EXPECT_EQ(readFile(addon_ + L"\\skin\\main.lua"), "print('AddonA')\n");
  EXPECT_FALSE(exists(data + L"\\Trash\\files\\AddonA"));
  expectNoProbeLeft();
}

TEST_F(RecycleTest, NameWithAWildcardIsRefusedAndTakesNothingAlong) {
  ::CreateDirectoryW((interface_ + L"\\AddonB").c_str(), nullptr);
  platform::win32::Win32Shell shell;
  std::string pattern(interface_.begin(), interface_.end());
  EXPECT_EQ(shell.recycle(pattern + "\\Addon*"), Recycled::Failed);
  EXPECT_EQ(shell.recycle(pattern + "\\Addon?"), Recycled::Failed);
  EXPECT_TRUE(exists(addon_ + L"\\skin\\main.lua"));
  EXPECT_TRUE(exists(interface_ + L"\\AddonB"));
}

TEST_F(RecycleTest, MissingFolderIsAFailure) {
  platform::win32::Win32Shell shell;
  std::string missing(interface_.begin(), interface_.end());
  EXPECT_EQ(shell.recycle(missing + "\\NotThere"), Recycled::Failed);
}

}  // namespace
}  // namespace qv::in_process
