#pragma once
// The standard message boxes a process shows: dialog windows of class "#32770" whose text sits in the
// static control 0xFFFF.
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace qv::e2e {

struct MessageBoxInfo {
  HWND window = nullptr;
  std::wstring caption;
  std::wstring text;
};

std::vector<MessageBoxInfo> messageBoxes(DWORD processId);
std::optional<MessageBoxInfo> waitForMessageBox(DWORD processId, DWORD timeoutMs);
// Presses one of the box's buttons (IDOK, IDYES, IDNO...) and waits for the box to close.
bool answer(const MessageBoxInfo& box, int buttonId, DWORD timeoutMs);
// The box's icon (the static control showing one); null for a box without an icon.
HWND iconOf(const MessageBoxInfo& box);
// For failure messages: every box the process shows, one per line.
std::string describeMessageBoxes(DWORD processId);

}  // namespace qv::e2e
