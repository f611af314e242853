#pragma once
// The menus of a form: its menu bar and its pop-up menus, with their items. Every command item of a
// form is entered in the form's command table under its id, and a command that names no control (a
// menu item's, an accelerator's) reaches an item through that table only, never a control.
#include <windows.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "platform/ui.h"
#include "platform/win32/ui_context.h"
#include "platform/win32/win32_handles.h"

namespace qv::platform::win32 {

class Win32MenuItem;

// The command items of one form (menu bar and pop-up menus together) by command id.
class MenuCommands {
 public:
  // Throws std::logic_error for an id that a WM_COMMAND cannot carry (0 or above 0xFFFF) or that
  // another item of the form already has: one of them could never be reached.
  void add(int id, Win32MenuItem& item);
  void remove(int id);
  // A command without a control: the item with this id is picked. False when no item has the id.
  bool pick(int id) const;

 private:
  std::map<int, Win32MenuItem*> items_;
};

class Win32MenuItem final : public MenuItem {
 public:
  // The item at `position` of `menu`, which the caller has just appended.
  Win32MenuItem(UiContext& ctx, HMENU menu, UINT position, const MenuItemSpec& spec);
  Win32MenuItem(const Win32MenuItem&) = delete;
  Win32MenuItem& operator=(const Win32MenuItem&) = delete;

  const std::string& name() const override { return name_; }
  std::string caption() const override { return caption_; }
  // The mark is the menu's own state, so what the user sees and what the program reads never differ.
  bool checked() const override;
  void setChecked(bool checked) override;
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }

  // The user picked the item: an auto-check item flips its mark, then the handler runs inside the
  // error boundary.
  void pick();

 private:
  UiContext& ctx_;
  HMENU menu_;
  UINT position_;
  std::string name_;
  std::string caption_;
  bool autoCheck_;
  Handler onClick_;
};

class Win32Menu final : public Menu {
 public:
  // A menu bar; `changed` runs after each change (the window redraws its bar). The form attaches handle() to
  // its window and detaches it before the window goes, so the menu is always this object's to destroy.
  static std::unique_ptr<Win32Menu> makeMenuBar(UiContext& ctx, MenuCommands& commands,
                                                std::function<void()> changed);
  // A pop-up menu, shown with TrackPopupMenu.
  static std::unique_ptr<Win32Menu> makePopup(UiContext& ctx, MenuCommands& commands);
  Win32Menu(const Win32Menu&) = delete;
  Win32Menu& operator=(const Win32Menu&) = delete;

  // A "-" caption makes a separator, which has no command.
  MenuItem& addItem(const MenuItemSpec& spec) override;
  Menu& addSubMenu(const MenuItemSpec& spec) override;
  HMENU handle() const { return menu_; }

 private:
  // `owned` holds a top-level menu; a sub-menu belongs to the menu it is attached to.
  Win32Menu(UiContext& ctx, MenuCommands& commands, HMENU menu, bool owned, std::function<void()> changed);

  UiContext& ctx_;
  MenuCommands& commands_;
  UniqueMenu owned_;
  HMENU menu_;
  std::function<void()> changed_;
  std::vector<std::unique_ptr<Win32MenuItem>> items_;
  std::vector<std::unique_ptr<Win32Menu>> subMenus_;
};

}  // namespace qv::platform::win32
