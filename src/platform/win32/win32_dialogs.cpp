#include "platform/win32/win32_dialogs.h"

#include <windows.h>
#include <commdlg.h>

#include <vector>

#include "platform/error_boundary.h"
#include "platform/win32/win32_owner_window.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
int showBox(const std::string& text, const std::string& caption, UINT type) {
  HWND owner = programOwnerWindow();
  // Without an owner the box still has to block every window of ours, like an owned one does.
  if (owner == nullptr) type |= MB_TASKMODAL;
  const std::wstring wideText = toWide(text);
  const std::wstring wideCaption = toWide(caption);
  return ::MessageBoxW(owner, wideText.c_str(), wideCaption.c_str(), type);
}
}  // namespace

void Win32Dialogs::message(const std::string& text) { showBox(text, kApplicationTitle, MB_OK); }

void Win32Dialogs::messageBox(const std::string& text, const std::string& caption, BoxIcon icon) {
  UINT type = MB_OK;
  if (icon == BoxIcon::Error) type |= MB_ICONERROR;
  if (icon == BoxIcon::Information) type |= MB_ICONINFORMATION;
  showBox(text, caption, type);
}

bool Win32Dialogs::askYesNo(const std::string& text, const std::string& caption, bool defaultNo) {
  return showBox(text, caption, MB_YESNO | (defaultNo ? MB_DEFBUTTON2 : 0u)) == IDYES;
}

bool Win32Dialogs::askOkCancel(const std::string& text, const std::string& caption) {
  return showBox(text, caption, MB_OKCANCEL) == IDOK;
}

std::optional<std::string> Win32Dialogs::openFile(const FileChooserSpec& spec) {
  // One filter entry: display text, pattern, and the list's closing empty string.
  std::wstring filter = toWide(spec.filterText);
  filter.push_back(L'\0');
  filter += toWide(spec.filterPattern);
  filter.push_back(L'\0');
  filter.push_back(L'\0');

  // Room for a long path; the proposed name is cut rather than overflowing.
  std::vector<wchar_t> file(32768, L'\0');
  const std::wstring proposed = toWide(spec.fileName);
  proposed.copy(file.data(), std::min(proposed.size(), file.size() - 1));
  const std::wstring defaultExt = toWide(spec.defaultExt);

  OPENFILENAMEW ofn{};
  ofn.lStructSize = sizeof(ofn);
  ofn.hwndOwner = programOwnerWindow();
  ofn.lpstrFilter = filter.c_str();
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = file.data();
  ofn.nMaxFile = static_cast<DWORD>(file.size());
  ofn.lpstrDefExt = defaultExt.empty() ? nullptr : defaultExt.c_str();
  ofn.Flags = OFN_EXPLORER | OFN_HIDEREADONLY;
  if (!::GetOpenFileNameW(&ofn)) return std::nullopt;
  return toUtf8(file.data());
}

}  // namespace qv::platform::win32
