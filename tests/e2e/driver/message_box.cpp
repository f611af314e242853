#include "driver/message_box.h"

#include "driver/text.h"
#include "driver/ui.h"
#include "driver/wait.h"

namespace qv::e2e {
namespace {

constexpr int kTextControlId = 0xFFFF;

struct LongestStatic {
  std::wstring text;
};

BOOL CALLBACK pickLongestStatic(HWND window, LPARAM param) {
  auto* best = reinterpret_cast<LongestStatic*>(param);
  if (className(window) == L"Static") {
    std::wstring t = windowText(window);
    if (t.size() > best->text.size()) best->text = std::move(t);
  }
  return TRUE;
}

std::wstring boxText(HWND box) {
  if (HWND text = GetDlgItem(box, kTextControlId)) return windowText(text);
  // Not every system numbers the text control alike; the message is then the only static with text.
  LongestStatic best;
  EnumChildWindows(box, pickLongestStatic, reinterpret_cast<LPARAM>(&best));
  return best.text;
}

BOOL CALLBACK pickIcon(HWND window, LPARAM param) {
  // A box without an icon may still hold the empty icon control of its template.
  if (className(window) == L"Static" && IsWindowVisible(window) &&
      (windowStyle(window) & SS_TYPEMASK) == SS_ICON && sendChecked(window, STM_GETICON, 0, 0) != 0) {
    *reinterpret_cast<HWND*>(param) = window;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

HWND iconOf(const MessageBoxInfo& box) {
  HWND icon = nullptr;
  EnumChildWindows(box.window, pickIcon, reinterpret_cast<LPARAM>(&icon));
  return icon;
}

std::vector<MessageBoxInfo> messageBoxes(DWORD processId) {
  std::vector<MessageBoxInfo> boxes;
  for (HWND window : topLevelWindows(processId, L"#32770")) {
    boxes.push_back({window, windowText(window), boxText(window)});
  }
  return boxes;
}

std::optional<MessageBoxInfo> waitForMessageBox(DWORD processId, DWORD timeoutMs) {
  return pollUntil(
      [&]() -> std::optional<MessageBoxInfo> {
        auto boxes = messageBoxes(processId);
        if (boxes.empty()) return std::nullopt;
        return boxes.front();
      },
      timeoutMs);
}

bool answer(const MessageBoxInfo& box, int buttonId, DWORD timeoutMs) {
  HWND button = GetDlgItem(box.window, buttonId);
  PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(buttonId, BN_CLICKED), reinterpret_cast<LPARAM>(button));
  return pollUntil([&] { return !IsWindow(box.window) || !IsWindowVisible(box.window); }, timeoutMs);
}

std::string describeMessageBoxes(DWORD processId) {
  std::string out;
  for (const auto& box : messageBoxes(processId)) {
    out.append("[").append(utf8(box.caption)).append("] ").append(utf8(box.text)).append("\n");
  }
  return out.empty() ? "(no message box)" : out;
}

}  // namespace qv::e2e
