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
// Windows build; out-of-process tests find controls by it (src/app/control_ids.h).
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
  virtual Timer& addTimer(const std::string& name, int intervalMs, bool enabled) = 0;
};

class UiFactory {
 public:
  virtual ~UiFactory() = default;
  virtual std::unique_ptr<Form> createForm(const FormSpec& spec) = 0;
};

}  // namespace qv::platform
