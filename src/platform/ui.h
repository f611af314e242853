#pragma once
// What the forms ask of the window system. The forms create their controls through a container at the
// 96-DPI positions of the layout and keep plain references; the container owns every control it made,
// so controls live exactly as long as their form. Handlers given to controls run on the main thread;
// the platform runs each user-triggered dispatch inside its error boundary (see error_boundary.h).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv::platform {

struct Rect {
  int left = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  bool operator==(const Rect&) const = default;
};

// Alignment of a child inside its parent, laid out in creation order: Top children stack from the top,
// Bottom children from the bottom, the Client child takes what is left. Hidden children take no room.
enum class Align { None, Top, Bottom, Client };

// Everything a form needs to create one control. `id` is the control's command identifier in the
// Windows build; out-of-process tests find controls by it (each form's ids sit beside the form).
struct ControlSpec {
  std::string name;
  int id = 0;
  Rect rect;
  std::string text;
  Align align = Align::None;
  bool visible = true;
};

using Handler = std::function<void()>;

class Control {
 public:
  virtual ~Control() = default;
  virtual const std::string& name() const = 0;
  virtual void setText(const std::string& utf8) = 0;
  virtual std::string text() const = 0;
  virtual void setVisible(bool visible) = 0;
  virtual bool visible() const = 0;
  virtual Rect bounds() const = 0;
};

class Label : public Control {};

class Button : public Control {
 public:
  // The handler a user's click runs. Code that runs a button "as if clicked" calls the form's
  // handler method directly, outside the error boundary, so errors reach the caller.
  virtual void setOnClick(Handler handler) = 0;
};

// What a menu item is made from. Menu items have command ids of a range of their own, apart from the
// controls' ids, so a menu command can never reach a control.
struct MenuItemSpec {
  std::string name;
  int id = 0;
  std::string caption;  // "-" makes a separator
  // The check mark flips on every click, before the click's handler runs.
  bool autoCheck = false;
  bool checked = false;
};

class MenuItem {
 public:
  virtual ~MenuItem() = default;
  virtual const std::string& name() const = 0;
  virtual std::string caption() const = 0;
  virtual bool checked() const = 0;
  virtual void setChecked(bool checked) = 0;
  // Runs inside the error boundary when the user picks the item.
  virtual void setOnClick(Handler handler) = 0;
};

// A menu bar, a pop-up menu or a sub-menu; items appear in the order they are added.
class Menu {
 public:
  virtual ~Menu() = default;
  virtual MenuItem& addItem(const MenuItemSpec& spec) = 0;
  // An item that opens a sub-menu; the sub-menu is returned to be filled.
  virtual Menu& addSubMenu(const MenuItemSpec& spec) = 0;
};

enum class BalloonIcon { None, Information, Warning, Error };

// The form's icon in the notification area. It has no tip text; a right-button press pops its menu up
// at the cursor, clicks and double clicks run their handlers (a single click only once the system's
// double-click time has passed without a second click).
class TrayIcon {
 public:
  virtual ~TrayIcon() = default;
  // Adds the icon to the notification area; it is shown again by itself when the shell restarts.
  virtual void show() = 0;
  // Takes it out of the notification area.
  virtual void remove() = 0;
  virtual bool shown() const = 0;
  // A balloon on the shown icon: text up to 255 characters, title up to 63, for `seconds`.
  virtual void showBalloon(const std::string& title, const std::string& text, BalloonIcon icon, int seconds) = 0;
  // A pop-up menu made by the same form's addPopupMenu.
  virtual void setPopupMenu(Menu* menu) = 0;
  virtual void setOnClick(Handler handler) = 0;
  virtual void setOnDblClick(Handler handler) = 0;
};

class Edit : public Control {};

class CheckBox : public Control {
 public:
  virtual bool checked() const = 0;
  virtual void setChecked(bool checked) = 0;
};

class RadioButton : public CheckBox {};

class ProgressBar : public Control {
 public:
  virtual void setMax(int max) = 0;
  virtual int max() const = 0;
  // Kept within 0 and the maximum, as the native control does.
  virtual void setPosition(int position) = 0;
  virtual int position() const = 0;
};

struct ListColumn {
  std::string caption;
  int width = 0;
};

// Where a list view reads its texts. The application keeps the rows; the view holds no copy of a text
// and asks for a cell whenever it needs it (to paint it, or when someone reads it), so a list of
// thousands of rows is filled or re-ordered without copying every text into the control.
class ListRowSource {
 public:
  virtual ~ListRowSource() = default;
  // Column 0 is the row caption, 1.. the sub-items. Rows or columns the source does not have read as
  // empty.
  virtual std::string_view cellText(int row, int column) const = 0;
};

// A report-view list with a check box per row. The add-on list model keeps the data and tells the view
// which rows exist and what changed; the view tells back only what the user did (check marks, header
// clicks, tips). Check marks are the view's own (the user sets them there).
class ListView : public Control {
 public:
  virtual void setColumns(const std::vector<ListColumn>& columns) = 0;
  virtual void setColumnCaption(int column, const std::string& caption) = 0;
  virtual std::string columnCaption(int column) const = 0;
  // The source must outlive the view or be replaced before it goes.
  virtual void setRowSource(const ListRowSource* source) = 0;
  virtual int rowCount() const = 0;
  // The source gained a row at `index`; the rows from there on moved down one. The new row is unchecked.
  virtual void insertRow(int index) = 0;
  // The source now has `count` rows that may all differ from before; every row is unchecked.
  virtual void resetRows(int count) = 0;
  // The texts of a row changed in the source.
  virtual void rowChanged(int row) = 0;
  // What the view shows in a cell.
  virtual std::string cell(int row, int column) const = 0;
  virtual void setChecked(int row, bool checked) = 0;
  virtual bool checked(int row) const = 0;
  // Lets the application repaint once after a batch of changes instead of after each one.
  virtual void beginUpdate() = 0;
  virtual void endUpdate() = 0;
  virtual void setOnCheckChanged(std::function<void(int row, bool checked)> handler) = 0;
  virtual void setOnColumnClick(std::function<void(int column)> handler) = 0;
  virtual void setOnInfoTip(std::function<std::string(int row)> handler) = 0;
};

class Container;

class Panel;
class GroupBox;
class PageControl;
class WebBrowser;

// Anything that holds controls: forms, panels, group boxes and the pages of a page control.
class Container {
 public:
  virtual ~Container() = default;
  virtual Label& addLabel(const ControlSpec& spec) = 0;
  virtual Button& addButton(const ControlSpec& spec) = 0;
  virtual Edit& addEdit(const ControlSpec& spec) = 0;
  virtual CheckBox& addCheckBox(const ControlSpec& spec) = 0;
  virtual RadioButton& addRadioButton(const ControlSpec& spec) = 0;
  virtual GroupBox& addGroupBox(const ControlSpec& spec) = 0;
  virtual Panel& addPanel(const ControlSpec& spec) = 0;
  virtual PageControl& addPageControl(const ControlSpec& spec) = 0;
  virtual ProgressBar& addProgressBar(const ControlSpec& spec) = 0;
  virtual ListView& addListView(const ControlSpec& spec) = 0;
  // A label that wraps its words inside its rectangle.
  virtual Label& addWrappingLabel(const ControlSpec& spec) = 0;
  // A button that shows the program's picture instead of a caption, with the hand cursor over it.
  virtual Button& addPictureButton(const ControlSpec& spec) = 0;
  // An embedded web browser (platform/web_browser.h). Only the containers that can host one override
  // this; the others refuse with std::logic_error.
  virtual WebBrowser& addWebBrowser(const ControlSpec& spec);
};

// Container is a virtual base so an implementation can share one container class between forms,
// panels, group boxes and pages.
class Panel : public Control, public virtual Container {};
class GroupBox : public Control, public virtual Container {};

class PageControl : public Control {
 public:
  // Adds a page with its tab caption; the page is a container for its controls.
  virtual Container& addPage(const std::string& name, const std::string& caption) = 0;
  virtual int pageCount() const = 0;
  virtual int activePage() const = 0;
  virtual void setActivePage(int index) = 0;
};

class Timer {
 public:
  virtual ~Timer() = default;
  virtual void setInterval(int milliseconds) = 0;
  virtual int interval() const = 0;
  virtual void setEnabled(bool enabled) = 0;
  virtual bool enabled() const = 0;
  virtual void setOnTimer(Handler handler) = 0;
};

struct FormSpec {
  std::string name;
  std::string caption;
  Rect outer;  // outer size and screen position, in 96-DPI pixels
  bool minimizeBox = false;
  bool maximizeBox = false;
  bool topmost = false;
};

class Form : public virtual Container {
 public:
  virtual const std::string& name() const = 0;
  virtual void setCaption(const std::string& caption) = 0;
  virtual std::string caption() const = 0;
  virtual Rect outerBounds() const = 0;
  // Shows the form modelessly; every change from hidden to visible runs the show handler.
  virtual void show() = 0;
  virtual void hide() = 0;
  virtual bool visible() const = 0;
  // Shows the form modally: other windows of the program are disabled and the call returns when the
  // form closes.
  virtual void showModal() = 0;
  // Asks the close-query handler; when it agrees the form closes (a modal form ends its modal run,
  // the main form ends the main loop).
  virtual void close() = 0;
  virtual void setOnShow(Handler handler) = 0;
  // Answers whether a close request may go ahead. Without a handler every close goes ahead.
  virtual void setOnCloseQuery(std::function<bool()> handler) = 0;
  // The system asks whether the user's log-on may end (log-off, shutdown). The handler runs and the
  // answer is always yes, at once: the form's close-query rule is not asked.
  virtual void setOnQueryEndSession(Handler handler) = 0;
  virtual Timer& addTimer(const std::string& name, int intervalMs, bool enabled) = 0;
  // The form's menu bar (made on the first call; one per form).
  virtual Menu& menuBar() = 0;
  // A pop-up menu owned by the form (for its tray icon). Its items' commands reach them only.
  virtual Menu& addPopupMenu(const std::string& name) = 0;
  // The form's tray icon (made on the first call, not shown), with the program's icon.
  virtual TrayIcon& trayIcon() = 0;
};

class UiFactory {
 public:
  virtual ~UiFactory() = default;
  virtual std::unique_ptr<Form> createForm(const FormSpec& spec) = 0;
};

}  // namespace qv::platform
