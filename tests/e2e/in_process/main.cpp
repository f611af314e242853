// The in-process suite's entry. Started as "qv_in_process.exe --recycle PATH" it is instead the child
// that the recycle cases start with the environment under test: it sends PATH to the recycle bin
// through the platform's shell and exits with 10 + the answer. Started with QV_HUNG_TRANSFER_URL set,
// it is the program that leaves a transfer hung in the platform and must still end (hung_transfer.h).
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which they build on.
#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "platform/win32/win32_shell.h"
#include "hung_transfer.h"
#include "platform/win32/win32_text.h"
#include "recycle_child.h"

namespace {

int recycleChild(const wchar_t* path) {
  // As in the program: the shell's calls run in a single-threaded COM apartment.
  const bool com = SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
  qv::platform::win32::Win32Shell shell;
  const auto answer = shell.recycle(qv::platform::win32::toUtf8(path));
  if (com) ::CoUninitialize();
  return qv::in_process::kRecycleExitBase + static_cast<int>(answer);
}

}  // namespace

int main(int argc, char** argv) {
  if (const auto hung = qv::in_process::hungTransferRequest()) return qv::in_process::runHungTransfer(*hung);
  int wideCount = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &wideCount);
  if (wide != nullptr && wideCount == 3 && std::wstring(wide[1]) == qv::in_process::kRecycleSwitch) {
    const int code = recycleChild(wide[2]);
    ::LocalFree(wide);
    return code;
  }
  if (wide != nullptr) ::LocalFree(wide);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
