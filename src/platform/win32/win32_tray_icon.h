#pragma once
// A form's icon in the notification area (Shell_NotifyIconW). The icon talks to a hidden window of
// its own: a top-level one, because the shell's "TaskbarCreated" broadcast never reaches message-only
// windows, and the pop-up menu needs a window to bring to the foreground.
#include <windows.h>

#include "platform/ui.h"
#include "platform/win32/ui_context.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_menu.h"

namespace qv::platform::win32 {

class Win32TrayIcon final : public TrayIcon {
 public:
  // The message the shell sends to the hidden window for the icon's mouse events (lParam).
  static constexpr UINT kCallbackMessage = WM_USER + 1024;
  // The icon's number among the hidden window's icons (it has only this one).
  static constexpr UINT kIconId = 1;

  // `commands` is the form's command table, through which the pop-up menu's picks reach its items.
  Win32TrayIcon(UiContext& ctx, MenuCommands& commands);
  // The icon leaves the notification area with its object.
  ~Win32TrayIcon() override;
  Win32TrayIcon(const Win32TrayIcon&) = delete;
  Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

  void show() override;
  void remove() override;
  bool shown() const override { return shown_; }
  void showBalloon(const std::string& title, const std::string& text, BalloonIcon icon, int seconds) override;
  void setPopupMenu(Menu* menu) override;
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }
  void setOnDblClick(Handler handler) override { onDblClick_ = std::move(handler); }

  // The hidden window the icon belongs to (the shell knows the icon by this window and kIconId).
  HWND window() const { return window_.get(); }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void onMouse(UINT mouseMessage);
  void popUpMenu();
  // Adds the icon, or brings the shell's copy up to date when it already has one.
  void add();
  void run(const Handler& handler);

  UiContext& ctx_;
  MenuCommands& commands_;
  UniqueWindow window_;
  HICON icon_ = nullptr;  // shared with the windows' class icon; never destroyed
  UINT taskbarCreated_ = 0;
  bool shown_ = false;
  // After a double click the shell still reports the second button release, which is no new click.
  bool swallowNextRelease_ = false;
  Win32Menu* popup_ = nullptr;
  Handler onClick_;
  Handler onDblClick_;
};

}  // namespace qv::platform::win32
