#include "platform/win32/win32_menu.h"

#include <stdexcept>

#include "platform/error_boundary.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr int kLargestCommandId = 0xFFFF;  // WM_COMMAND carries the id in a word

bool isSeparator(const MenuItemSpec& spec) {
  return spec.caption == "-";
}

void append(HMENU menu, UINT flags, UINT_PTR idOrSubMenu, const std::string& caption) {
  const std::wstring text = toWide(caption);
  if (!::AppendMenuW(menu, flags, idOrSubMenu, (flags & MF_SEPARATOR) != 0 ? nullptr : text.c_str()))
    throw std::runtime_error("cannot add the menu item " + caption);
}
}  // namespace

void MenuCommands::add(int id, Win32MenuItem& item) {
  if (id <= 0 || id > kLargestCommandId)
    throw std::logic_error("menu item " + item.name() + " has no usable command id");
  if (!items_.emplace(id, &item).second)
    throw std::logic_error("menu items " + items_.at(id)->name() + " and " + item.name() + " share an id");
}

void MenuCommands::remove(int id) {
  items_.erase(id);
}

bool MenuCommands::pick(int id) const {
  const auto it = items_.find(id);
  if (it == items_.end()) return false;
  it->second->pick();
  return true;
}

Win32MenuItem::Win32MenuItem(UiContext& ctx, HMENU menu, UINT position, const MenuItemSpec& spec)
    : ctx_(ctx),
      menu_(menu),
      position_(position),
      name_(spec.name),
      caption_(spec.caption),
      autoCheck_(spec.autoCheck) {}

bool Win32MenuItem::checked() const {
  const UINT state = ::GetMenuState(menu_, position_, MF_BYPOSITION);
  return state != static_cast<UINT>(-1) && (state & MF_CHECKED) != 0;
}

void Win32MenuItem::setChecked(bool checked) {
  ::CheckMenuItem(menu_, position_, MF_BYPOSITION | (checked ? MF_CHECKED : MF_UNCHECKED));
}

void Win32MenuItem::pick() {
  if (autoCheck_) setChecked(!checked());
  if (!onClick_) return;
  // A copy, so a handler that replaces the click handler does not destroy itself mid-run.
  const Handler handler = onClick_;
  runGuarded(ctx_.dialogs(), handler);
}

Win32Menu::Win32Menu(UiContext& ctx, MenuCommands& commands, HMENU menu, bool owned,
                     std::function<void()> changed)
    : ctx_(ctx),
      commands_(commands),
      owned_(owned ? menu : nullptr),
      menu_(menu),
      changed_(std::move(changed)) {
  if (menu_ == nullptr) throw std::runtime_error("cannot make a menu");
}

std::unique_ptr<Win32Menu> Win32Menu::makeMenuBar(UiContext& ctx, MenuCommands& commands,
                                                  std::function<void()> changed) {
  return std::unique_ptr<Win32Menu>(new Win32Menu(ctx, commands, ::CreateMenu(), true, std::move(changed)));
}

std::unique_ptr<Win32Menu> Win32Menu::makePopup(UiContext& ctx, MenuCommands& commands) {
  return std::unique_ptr<Win32Menu>(new Win32Menu(ctx, commands, ::CreatePopupMenu(), true, nullptr));
}

MenuItem& Win32Menu::addItem(const MenuItemSpec& spec) {
  const UINT position = static_cast<UINT>(::GetMenuItemCount(menu_));
  auto item = std::make_unique<Win32MenuItem>(ctx_, menu_, position, spec);
  if (isSeparator(spec)) {
    append(menu_, MF_SEPARATOR, 0, spec.caption);
  } else {
    // Entered first, so an id that cannot work stops the item before the menu shows it.
    commands_.add(spec.id, *item);
    try {
      append(menu_, MF_STRING | (spec.checked ? MF_CHECKED : MF_UNCHECKED), static_cast<UINT_PTR>(spec.id),
             spec.caption);
    } catch (...) {
      commands_.remove(spec.id);
      throw;
    }
  }
  items_.push_back(std::move(item));
  if (changed_) changed_();
  return *items_.back();
}

Menu& Win32Menu::addSubMenu(const MenuItemSpec& spec) {
  UniqueMenu sub(::CreatePopupMenu());
  if (!sub.valid()) throw std::runtime_error("cannot make the menu " + spec.caption);
  append(menu_, MF_STRING | MF_POPUP, reinterpret_cast<UINT_PTR>(sub.get()), spec.caption);
  // From here the sub-menu is destroyed with the menu it hangs in.
  HMENU handle = sub.detach();
  subMenus_.push_back(std::unique_ptr<Win32Menu>(new Win32Menu(ctx_, commands_, handle, false, nullptr)));
  if (changed_) changed_();
  return *subMenus_.back();
}

}  // namespace qv::platform::win32
