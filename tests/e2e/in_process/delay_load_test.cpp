// The libraries the program loads at their first call (delay imports): none of them is there before
// its first use, and the first call goes through to the real function. The file chooser is the case in
// point: its library is needed only when the player browses for the game.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_text.h"

namespace qv::in_process {
namespace {

// Picks `chosen` in this thread's open-file dialog once it shows: the file name, then OK.
std::wstring chosen;
void CALLBACK answerChooser(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND dialog = nullptr;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM found) -> BOOL {
        wchar_t name[16] = {};
        ::GetClassNameW(window, name, 16);
        if (std::wstring(name) != L"#32770" || !::IsWindowVisible(window)) return TRUE;
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&dialog));
  if (dialog == nullptr) return;
  ::KillTimer(nullptr, timer);
  // The file name box of the Explorer-style chooser (cmb13), with the classic edit (edt1) as fallback.
  if (!::SetDlgItemTextW(dialog, 0x47C, chosen.c_str())) ::SetDlgItemTextW(dialog, 0x480, chosen.c_str());
  ::PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

TEST(DelayLoad, TheFileChooserLibraryComesWithItsFirstCallAndChoosesTheFile) {
  EXPECT_EQ(::GetModuleHandleW(L"comdlg32.dll"), nullptr) << "loaded before anything asked for it";
  wchar_t temp[MAX_PATH + 1] = {};
  ::GetTempPathW(MAX_PATH + 1, temp);
  chosen = std::wstring(temp) + L"qv-delay-load-JX3Client.exe";
  HANDLE file = ::CreateFileW(chosen.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ::CloseHandle(file);

  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, answerChooser);
  platform::win32::Win32Dialogs dialogs;
  const auto picked = dialogs.openFile({"exe文件(*.exe)", "*.exe", "", "exe"});
  ::KillTimer(nullptr, timer);
  ::DeleteFileW(chosen.c_str());

  EXPECT_NE(::GetModuleHandleW(L"comdlg32.dll"), nullptr);
  ASSERT_TRUE(picked) << "the chooser came back without a file";
  EXPECT_EQ(platform::win32::toWide(*picked), chosen);
}

}  // namespace
}  // namespace qv::in_process
