#pragma once
// A form: a top-level window whose window class is the form's name, so other processes find it by
// class. Single border, never resizable; the layout is given in 96-DPI pixels.
#include <windows.h>

#include <map>
#include <memory>
#include <vector>

#include "platform/win32/child_host.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_menu.h"
#include "platform/win32/win32_timer.h"
#include "platform/win32/win32_tray_icon.h"

namespace qv::platform::win32 {

class Win32Form final : public HostedContainer<Form> {
 public:
  // `owner` keeps secondary forms above the main form and off the task bar; the main form has none.
  // Closing the main form for real destroys it and ends the main loop.
  Win32Form(UiContext& ctx, const FormSpec& spec, HWND owner, bool mainForm);
  ~Win32Form() override;
  Win32Form(const Win32Form&) = delete;
  Win32Form& operator=(const Win32Form&) = delete;

  HWND hwnd() const { return window_.get(); }

  const std::string& name() const override { return name_; }
  void setCaption(const std::string& caption) override;
  std::string caption() const override;
  Rect outerBounds() const override;
  void show() override;
  void hide() override;
  bool visible() const override { return visible_; }
  void showModal() override;
  void close() override;
  void setOnShow(Handler handler) override { onShow_ = std::move(handler); }
  void setOnCloseQuery(std::function<bool()> handler) override { onCloseQuery_ = std::move(handler); }
  Timer& addTimer(const std::string& name, int intervalMs, bool enabled) override;
  void setOnQueryEndSession(Handler handler) override { onQueryEndSession_ = std::move(handler); }
  Menu& menuBar() override;
  Menu& addPopupMenu(const std::string& name) override;
  TrayIcon& trayIcon() override;

 protected:
  ChildHost& children() override { return *host_; }

 private:
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT dispatch(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  LRESULT handle(UINT msg, WPARAM wp, LPARAM lp);
  void appear();
  void destroyWindow();
  // The log-on ends: the main form goes without asking its close-query rule, and the loop ends.
  void endSession();

  UiContext& ctx_;
  std::string name_;
  bool main_;
  UniqueWindow window_;
  std::unique_ptr<ChildHost> host_;
  std::map<UINT_PTR, std::unique_ptr<Win32Timer>> timers_;
  // Declared before the menus and the tray, which enter their items here.
  MenuCommands commands_;
  std::unique_ptr<Win32Menu> menuBar_;
  // The bar changed while the window was hidden: it is measured and drawn once, as the window appears,
  // rather than once per item (each a frame change, a round trip to the server under Wine).
  bool menuBarStale_ = false;
  std::vector<std::unique_ptr<Win32Menu>> popups_;
  std::unique_ptr<Win32TrayIcon> tray_;
  Handler onShow_;
  std::function<bool()> onCloseQuery_;
  Handler onQueryEndSession_;
  bool visible_ = false;
  bool modal_ = false;
  bool modalEnded_ = false;
  // The control that had the focus when the form was last deactivated, given it back on return.
  HWND lastFocus_ = nullptr;
};

}  // namespace qv::platform::win32
