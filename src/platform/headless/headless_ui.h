#pragma once
// In-memory windows for the native tests. Controls keep their state; a test finds them by name on
// their form, clicks buttons (through the error boundary, as a user's click), types into edits, ticks
// list rows and reads everything back. Modal forms run a script the test installs.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/dialogs.h"
#include "platform/layout.h"
#include "platform/ui.h"

namespace qv::platform::headless {

class HeadlessMainLoop;
class HeadlessForm;

// What a container needs to know about its children for alignment.
class HeadlessContainerBase;

template <class Iface>
class HeadlessControl : public Iface {
 public:
  HeadlessControl(HeadlessContainerBase* parent, const ControlSpec& spec)
      : parent_(parent), name_(spec.name), text_(spec.text), visible_(spec.visible) {
    layout_.align = spec.align;
    layout_.rect = spec.rect;
    layout_.visible = spec.visible;
  }
  const std::string& name() const override { return name_; }
  void setText(const std::string& utf8) override { text_ = utf8; }
  std::string text() const override { return text_; }
  void setVisible(bool visible) override;
  bool visible() const override { return visible_; }
  Rect bounds() const override { return layout_.rect; }
  LayoutItem& layoutItem() { return layout_; }
  HeadlessContainerBase* parentContainer() const { return parent_; }

 protected:
  HeadlessContainerBase* parent_;
  std::string name_;
  std::string text_;
  bool visible_;
  LayoutItem layout_;
};

class HeadlessContainerBase : public virtual Container {
 public:
  HeadlessContainerBase(HeadlessForm* form, Dialogs& dialogs) : form_(form), dialogs_(dialogs) {}

  Label& addLabel(const ControlSpec& spec) override;
  Label& addWrappingLabel(const ControlSpec& spec) override;
  Button& addButton(const ControlSpec& spec) override;
  Edit& addEdit(const ControlSpec& spec) override;
  CheckBox& addCheckBox(const ControlSpec& spec) override;
  RadioButton& addRadioButton(const ControlSpec& spec) override;
  GroupBox& addGroupBox(const ControlSpec& spec) override;
  Panel& addPanel(const ControlSpec& spec) override;
  PageControl& addPageControl(const ControlSpec& spec) override;
  ProgressBar& addProgressBar(const ControlSpec& spec) override;
  ListView& addListView(const ControlSpec& spec) override;
  Button& addPictureButton(const ControlSpec& spec) override;
  WebBrowser& addWebBrowser(const ControlSpec& spec) override;

  // Re-applies the alignment rules after a size or visibility change.
  void relayout();
  virtual Rect clientRect() const = 0;
  HeadlessForm* form() const { return form_; }
  Dialogs& dialogs() const { return dialogs_; }

 protected:
  template <class T>
  T& adopt(std::unique_ptr<T> control);

  HeadlessForm* form_;
  Dialogs& dialogs_;
  std::vector<std::unique_ptr<Control>> children_;
  std::vector<LayoutItem*> layoutItems_;
};

template <class Iface>
void HeadlessControl<Iface>::setVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  layout_.visible = visible;
  if (parent_) parent_->relayout();
}

class HeadlessButton : public HeadlessControl<Button> {
 public:
  using HeadlessControl::HeadlessControl;
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }
  // A user's click: the handler runs inside the error boundary.
  void click();

 private:
  Handler onClick_;
};

// Check boxes and radio buttons: a control with a check mark.
template <class Iface>
class HeadlessCheckable : public HeadlessControl<Iface> {
 public:
  using HeadlessControl<Iface>::HeadlessControl;
  bool checked() const override { return checked_; }
  void setChecked(bool checked) override { checked_ = checked; }

 private:
  bool checked_ = false;
};

using HeadlessCheckBox = HeadlessCheckable<CheckBox>;
using HeadlessRadioButton = HeadlessCheckable<RadioButton>;

class HeadlessProgressBar : public HeadlessControl<ProgressBar> {
 public:
  using HeadlessControl::HeadlessControl;
  void setMax(int max) override;
  int max() const override { return max_; }
  void setPosition(int position) override;
  int position() const override { return position_; }

 private:
  int max_ = 100;
  int position_ = 0;
};

class HeadlessListView : public HeadlessControl<ListView> {
 public:
  using HeadlessControl::HeadlessControl;
  void setColumns(const std::vector<ListColumn>& columns) override { columns_ = columns; }
  void setColumnCaption(int column, const std::string& caption) override;
  std::string columnCaption(int column) const override;
  const std::vector<ListColumn>& columns() const { return columns_; }
  void setRowSource(const ListRowSource* source) override { source_ = source; }
  int rowCount() const override { return static_cast<int>(checked_.size()); }
  void insertRow(int index) override;
  void resetRows(int count) override { checked_.assign(static_cast<size_t>(count > 0 ? count : 0), false); }
  void rowChanged(int row) override;
  std::string cell(int row, int column) const override;
  void setChecked(int row, bool checked) override;
  bool checked(int row) const override;
  void beginUpdate() override { ++updateDepth_; }
  void endUpdate() override {
    if (--updateDepth_ == 0) ++repaints_;
  }
  void setOnCheckChanged(std::function<void(int, bool)> handler) override { onCheck_ = std::move(handler); }
  void setOnColumnClick(std::function<void(int)> handler) override { onColumn_ = std::move(handler); }
  void setOnInfoTip(std::function<std::string(int)> handler) override { onTip_ = std::move(handler); }

  // What a user does: tick a row's box, click a header, rest the pointer on a row.
  void userCheck(int row, bool checked);
  void userColumnClick(int column);
  std::string infoTip(int row);
  int updateDepth() const { return updateDepth_; }
  // How often the window would have repainted rows: once per change made outside an update, once per
  // update that ends.
  int repaints() const { return repaints_; }

 private:
  void dispatch(const std::function<void()>& handler);
  std::vector<ListColumn> columns_;
  const ListRowSource* source_ = nullptr;
  // One check mark per row; the texts stay in the source.
  std::vector<bool> checked_;
  int updateDepth_ = 0;
  int repaints_ = 0;
  std::function<void(int, bool)> onCheck_;
  std::function<void(int)> onColumn_;
  std::function<std::string(int)> onTip_;
};

class HeadlessMenuItem : public MenuItem {
 public:
  HeadlessMenuItem(const MenuItemSpec& spec, Dialogs& dialogs) : spec_(spec), dialogs_(dialogs) {}
  const std::string& name() const override { return spec_.name; }
  std::string caption() const override { return spec_.caption; }
  bool checked() const override { return spec_.checked; }
  void setChecked(bool checked) override { spec_.checked = checked; }
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }
  int id() const { return spec_.id; }
  bool autoCheck() const { return spec_.autoCheck; }
  bool isSeparator() const { return spec_.caption == "-"; }
  // The user picks the item: an auto-check item flips its mark, then the handler runs in the boundary.
  void click();
  // The sub-menu this item opens, or null.
  class HeadlessMenu* subMenu() const { return sub_.get(); }
  void setSubMenu(std::unique_ptr<class HeadlessMenu> sub);

 private:
  MenuItemSpec spec_;
  Dialogs& dialogs_;
  Handler onClick_;
  std::unique_ptr<class HeadlessMenu> sub_;
};

class HeadlessMenu : public Menu {
 public:
  HeadlessMenu(std::string name, Dialogs& dialogs) : name_(std::move(name)), dialogs_(dialogs) {}
  MenuItem& addItem(const MenuItemSpec& spec) override;
  Menu& addSubMenu(const MenuItemSpec& spec) override;
  const std::string& name() const { return name_; }
  // Items in order, sub-menu items not included.
  const std::vector<std::unique_ptr<HeadlessMenuItem>>& items() const { return items_; }
  // Search through this menu and its sub-menus.
  HeadlessMenuItem* findByName(const std::string& name) const;
  HeadlessMenuItem* findById(int id) const;

 private:
  std::string name_;
  Dialogs& dialogs_;
  std::vector<std::unique_ptr<HeadlessMenuItem>> items_;
};

struct ShownBalloon {
  std::string title;
  std::string text;
  BalloonIcon icon;
  int seconds;
};

class HeadlessTrayIcon : public TrayIcon {
 public:
  explicit HeadlessTrayIcon(Dialogs& dialogs) : dialogs_(dialogs) {}
  void show() override { shown_ = true; }
  void remove() override { shown_ = false; }
  bool shown() const override { return shown_; }
  void showBalloon(const std::string& title, const std::string& text, BalloonIcon icon, int seconds) override;
  void setPopupMenu(Menu* menu) override { popup_ = dynamic_cast<HeadlessMenu*>(menu); }
  void setOnClick(Handler handler) override { onClick_ = std::move(handler); }
  void setOnDblClick(Handler handler) override { onDblClick_ = std::move(handler); }

  // What the user does with the icon. A right-button press pops the menu up: the test then picks an
  // item from popupMenu(). Each does nothing while the icon is not shown.
  void userClick();
  void userDblClick();
  bool userRightClick();
  HeadlessMenu* popupMenu() const { return popup_; }
  const std::vector<ShownBalloon>& balloons() const { return balloons_; }

 private:
  Dialogs& dialogs_;
  bool shown_ = false;
  HeadlessMenu* popup_ = nullptr;
  Handler onClick_;
  Handler onDblClick_;
  std::vector<ShownBalloon> balloons_;
};

class HeadlessPanel : public HeadlessControl<Panel>, public HeadlessContainerBase {
 public:
  HeadlessPanel(HeadlessContainerBase* parent, const ControlSpec& spec)
      : HeadlessControl(parent, spec), HeadlessContainerBase(parent->form(), parent->dialogs()) {}
  Rect clientRect() const override { return {0, 0, layout_.rect.width, layout_.rect.height}; }
};

class HeadlessGroupBox : public HeadlessControl<GroupBox>, public HeadlessContainerBase {
 public:
  HeadlessGroupBox(HeadlessContainerBase* parent, const ControlSpec& spec)
      : HeadlessControl(parent, spec), HeadlessContainerBase(parent->form(), parent->dialogs()) {}
  Rect clientRect() const override { return {0, 0, layout_.rect.width, layout_.rect.height}; }
};

class HeadlessPage : public HeadlessContainerBase {
 public:
  HeadlessPage(HeadlessForm* form, Dialogs& dialogs, Rect rect, std::string name, std::string caption)
      : HeadlessContainerBase(form, dialogs), rect_(rect), name_(std::move(name)), caption_(std::move(caption)) {}
  Rect clientRect() const override { return rect_; }
  const std::string& caption() const { return caption_; }
  const std::string& name() const { return name_; }

 private:
  Rect rect_;
  std::string name_;
  std::string caption_;
};

class HeadlessPageControl : public HeadlessControl<PageControl> {
 public:
  HeadlessPageControl(HeadlessContainerBase* parent, const ControlSpec& spec)
      : HeadlessControl(parent, spec), owner_(parent) {}
  Container& addPage(const std::string& name, const std::string& caption) override;
  int pageCount() const override { return static_cast<int>(pages_.size()); }
  int activePage() const override { return active_; }
  void setActivePage(int index) override;
  const HeadlessPage& page(int index) const { return *pages_.at(static_cast<size_t>(index)); }

 private:
  HeadlessContainerBase* owner_;
  std::vector<std::unique_ptr<HeadlessPage>> pages_;
  int active_ = 0;
};

class HeadlessForm : public Form, public HeadlessContainerBase {
 public:
  HeadlessForm(const FormSpec& spec, HeadlessMainLoop& loop, Dialogs& dialogs,
               std::function<void(HeadlessForm&)>* modalScript);
  ~HeadlessForm() override;

  const std::string& name() const override { return spec_.name; }
  void setCaption(const std::string& caption) override { spec_.caption = caption; }
  std::string caption() const override { return spec_.caption; }
  Rect outerBounds() const override { return spec_.outer; }
  const FormSpec& spec() const { return spec_; }
  // Moves the outer top-left corner (the screen does it for the program).
  void moveTo(int left, int top) {
    spec_.outer.left = left;
    spec_.outer.top = top;
  }
  void show() override;
  void hide() override { visible_ = false; }
  bool visible() const override { return visible_; }
  void showModal() override;
  void close() override;
  void setOnShow(Handler handler) override { onShow_ = std::move(handler); }
  void setOnCloseQuery(std::function<bool()> handler) override { onCloseQuery_ = std::move(handler); }
  void setOnQueryEndSession(Handler handler) override { onQueryEndSession_ = std::move(handler); }
  Timer& addTimer(const std::string& name, int intervalMs, bool enabled) override;
  Menu& menuBar() override;
  Menu& addPopupMenu(const std::string& name) override;
  TrayIcon& trayIcon() override;
  Rect clientRect() const override { return {0, 0, spec_.outer.width - 6, spec_.outer.height - 25}; }

  // Lookup by control name for tests.
  void registerControl(const std::string& name, Control* control) { byName_[name] = control; }
  Control* find(const std::string& name) const;
  template <class T>
  T& get(const std::string& name) const {
    T* c = dynamic_cast<T*>(find(name));
    if (!c) throw std::logic_error("no control " + name + " of that kind on " + spec_.name);
    return *c;
  }
  Timer& timer(const std::string& name) const { return *timers_.at(name); }
  void clickButton(const std::string& name);
  // A menu item of the menu bar or of a pop-up menu, by name; throws when there is none.
  HeadlessMenuItem& menuItem(const std::string& name) const;
  // A command without a control, as a menu item or an accelerator sends it: it reaches the menu item
  // with that id and nothing else. False when no item has the id.
  bool command(int id);
  HeadlessMenu* menuBarIfAny() const { return menuBar_.get(); }
  HeadlessTrayIcon* trayIconIfAny() const { return tray_.get(); }
  // The system asks whether the log-on may end; the answer (always yes).
  bool queryEndSession();
  // A close request from the window's close box (the same question as the program's own close()).
  void userClose() { close(); }
  int showCount() const { return showCount_; }
  // Set when the main loop should end as this form really closes.
  void setMainForm(bool main) { main_ = main; }
  std::function<void()> onDestroy;

 private:
  FormSpec spec_;
  HeadlessMainLoop& loop_;
  std::function<void(HeadlessForm&)>* modalScript_;
  bool visible_ = false;
  bool modal_ = false;
  bool main_ = false;
  int showCount_ = 0;
  Handler onShow_;
  std::function<bool()> onCloseQuery_;
  Handler onQueryEndSession_;
  std::unique_ptr<HeadlessMenu> menuBar_;
  std::vector<std::unique_ptr<HeadlessMenu>> popups_;
  std::unique_ptr<HeadlessTrayIcon> tray_;
  std::map<std::string, Control*> byName_;
  std::map<std::string, std::unique_ptr<Timer>> timers_;
};

class HeadlessUiFactory : public UiFactory {
 public:
  HeadlessUiFactory(HeadlessMainLoop& loop, Dialogs& dialogs) : loop_(loop), dialogs_(dialogs) {}
  std::unique_ptr<Form> createForm(const FormSpec& spec) override;
  // Every form made so far, by name (tests reach forms through it).
  HeadlessForm& form(const std::string& name) const;
  // Runs when a form is shown modally; it may fill in fields and click buttons. A modal form still
  // open when the script returns is closed as if by its close box.
  std::function<void(HeadlessForm&)> modalScript;

 private:
  HeadlessMainLoop& loop_;
  Dialogs& dialogs_;
  std::vector<HeadlessForm*> forms_;
  friend class HeadlessForm;
};

}  // namespace qv::platform::headless
