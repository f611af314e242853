#include "platform/headless/headless_ui.h"

#include <algorithm>
#include <stdexcept>

#include "common/text.h"
#include "platform/error_boundary.h"
#include "platform/headless/headless_main_loop.h"
#include "platform/headless/headless_timer.h"
#include "platform/headless/headless_web_browser.h"

namespace qv::platform::headless {

template <class T>
T& HeadlessContainerBase::adopt(std::unique_ptr<T> control) {
  T& ref = *control;
  if (form_) form_->registerControl(ref.name(), &ref);
  layoutItems_.push_back(&ref.layoutItem());
  children_.push_back(std::move(control));
  relayout();
  return ref;
}

using HeadlessLabel = HeadlessControl<Label>;
using HeadlessEdit = HeadlessControl<Edit>;

Label& HeadlessContainerBase::addLabel(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessLabel>(this, spec));
}
Label& HeadlessContainerBase::addWrappingLabel(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessLabel>(this, spec));
}
Button& HeadlessContainerBase::addButton(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessButton>(this, spec));
}
Edit& HeadlessContainerBase::addEdit(const ControlSpec& spec) { return adopt(std::make_unique<HeadlessEdit>(this, spec)); }
CheckBox& HeadlessContainerBase::addCheckBox(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessCheckBox>(this, spec));
}
RadioButton& HeadlessContainerBase::addRadioButton(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessRadioButton>(this, spec));
}
GroupBox& HeadlessContainerBase::addGroupBox(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessGroupBox>(this, spec));
}
Panel& HeadlessContainerBase::addPanel(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessPanel>(this, spec));
}
PageControl& HeadlessContainerBase::addPageControl(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessPageControl>(this, spec));
}
ProgressBar& HeadlessContainerBase::addProgressBar(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessProgressBar>(this, spec));
}
ListView& HeadlessContainerBase::addListView(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessListView>(this, spec));
}
Button& HeadlessContainerBase::addPictureButton(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessButton>(this, spec));
}
WebBrowser& HeadlessContainerBase::addWebBrowser(const ControlSpec& spec) {
  return adopt(std::make_unique<HeadlessWebBrowser>(this, spec));
}

void HeadlessContainerBase::relayout() {
  const Rect client = clientRect();
  layoutAligned(layoutItems_, client.width, client.height);
  for (auto& child : children_)
    if (auto* container = dynamic_cast<HeadlessContainerBase*>(child.get())) container->relayout();
}

void HeadlessButton::click() {
  if (onClick_) runGuarded(parent_->dialogs(), onClick_);
}

void HeadlessProgressBar::setMax(int max) {
  max_ = max;
  position_ = std::clamp(position_, 0, std::max(0, max_));
}

void HeadlessProgressBar::setPosition(int position) { position_ = std::clamp(position, 0, std::max(0, max_)); }

void HeadlessListView::setColumnCaption(int column, const std::string& caption) {
  columns_.at(static_cast<size_t>(column)).caption = caption;
}

std::string HeadlessListView::columnCaption(int column) const { return columns_.at(static_cast<size_t>(column)).caption; }

void HeadlessListView::insertRow(int index) {
  if (index < 0 || index > rowCount()) index = rowCount();
  checked_.insert(checked_.begin() + index, false);
}

// Nothing to repaint here; naming a row the view does not have is the caller's fault, and tests
// should hear of it.
void HeadlessListView::rowChanged(int row) {
  (void)checked_.at(static_cast<size_t>(row));
  if (updateDepth_ == 0) ++repaints_;
}

std::string HeadlessListView::cell(int row, int column) const {
  (void)checked_.at(static_cast<size_t>(row));
  return source_ != nullptr ? std::string(source_->cellText(row, column)) : std::string();
}

void HeadlessListView::setChecked(int row, bool checked) { checked_.at(static_cast<size_t>(row)) = checked; }

bool HeadlessListView::checked(int row) const { return checked_.at(static_cast<size_t>(row)); }

// A list made outside any form (in a unit test) has no error boundary to run in.
void HeadlessListView::dispatch(const std::function<void()>& handler) {
  if (parent_)
    runGuarded(parent_->dialogs(), handler);
  else
    handler();
}

void HeadlessListView::userCheck(int row, bool checked) {
  checked_.at(static_cast<size_t>(row)) = checked;
  if (onCheck_) dispatch([&] { onCheck_(row, checked); });
}

void HeadlessListView::userColumnClick(int column) {
  if (onColumn_) dispatch([&] { onColumn_(column); });
}

std::string HeadlessListView::infoTip(int row) { return onTip_ ? onTip_(row) : std::string(); }

void HeadlessMenuItem::click() {
  if (isSeparator()) return;
  if (spec_.autoCheck) spec_.checked = !spec_.checked;
  if (onClick_) runGuarded(dialogs_, onClick_);
}

void HeadlessMenuItem::setSubMenu(std::unique_ptr<HeadlessMenu> sub) { sub_ = std::move(sub); }

MenuItem& HeadlessMenu::addItem(const MenuItemSpec& spec) {
  items_.push_back(std::make_unique<HeadlessMenuItem>(spec, dialogs_));
  return *items_.back();
}

Menu& HeadlessMenu::addSubMenu(const MenuItemSpec& spec) {
  auto& item = static_cast<HeadlessMenuItem&>(addItem(spec));
  item.setSubMenu(std::make_unique<HeadlessMenu>(spec.name, dialogs_));
  return *item.subMenu();
}

HeadlessMenuItem* HeadlessMenu::findByName(const std::string& name) const {
  for (const auto& item : items_) {
    if (item->name() == name) return item.get();
    if (item->subMenu())
      if (HeadlessMenuItem* found = item->subMenu()->findByName(name)) return found;
  }
  return nullptr;
}

HeadlessMenuItem* HeadlessMenu::findById(int id) const {
  for (const auto& item : items_) {
    if (item->id() == id && !item->subMenu()) return item.get();
    if (item->subMenu())
      if (HeadlessMenuItem* found = item->subMenu()->findById(id)) return found;
  }
  return nullptr;
}

void HeadlessTrayIcon::showBalloon(const std::string& title, const std::string& text, BalloonIcon icon,
                                   int seconds) {
  // The notification area keeps at most 63 and 255 characters; a balloon needs a shown icon.
  if (!shown_) return;
  auto cut = [](const std::string& s, size_t n) {
    std::u32string u = text::utf8ToUtf32(s);
    if (u.size() > n) u.resize(n);
    return text::utf32ToUtf8(u);
  };
  balloons_.push_back({cut(title, 63), cut(text, 255), icon, seconds});
}

void HeadlessTrayIcon::userClick() {
  if (shown_ && onClick_) runGuarded(dialogs_, onClick_);
}

void HeadlessTrayIcon::userDblClick() {
  if (shown_ && onDblClick_) runGuarded(dialogs_, onDblClick_);
}

bool HeadlessTrayIcon::userRightClick() { return shown_ && popup_ != nullptr; }

Container& HeadlessPageControl::addPage(const std::string& name, const std::string& caption) {
  const Rect r = layout_.rect;
  // Tabs take the top 24 pixels of the control; pages fill the rest.
  pages_.push_back(std::make_unique<HeadlessPage>(owner_->form(), owner_->dialogs(),
                                                  Rect{0, 0, r.width - 8, r.height - 28}, name, caption));
  return *pages_.back();
}

void HeadlessPageControl::setActivePage(int index) {
  if (index >= 0 && index < pageCount()) active_ = index;
}

HeadlessForm::HeadlessForm(const FormSpec& spec, HeadlessMainLoop& loop, Dialogs& dialogs,
                           std::function<void(HeadlessForm&)>* modalScript)
    : HeadlessContainerBase(this, dialogs), spec_(spec), loop_(loop), modalScript_(modalScript) {}

HeadlessForm::~HeadlessForm() {
  if (onDestroy) onDestroy();
}

void HeadlessForm::show() {
  if (visible_) return;
  visible_ = true;
  ++showCount_;
  if (onShow_) runGuarded(dialogs_, onShow_);
}

void HeadlessForm::showModal() {
  modal_ = true;
  visible_ = true;
  ++showCount_;
  if (onShow_) onShow_();
  if (modalScript_ && *modalScript_) (*modalScript_)(*this);
  // Whatever the script left open is closed by the close box.
  if (modal_) {
    modal_ = false;
    visible_ = false;
  }
}

void HeadlessForm::close() {
  if (onCloseQuery_ && !onCloseQuery_()) return;
  visible_ = false;
  if (modal_) {
    modal_ = false;
    return;
  }
  if (main_) loop_.quit();
}

Timer& HeadlessForm::addTimer(const std::string& name, int intervalMs, bool enabled) {
  auto timer = std::make_unique<HeadlessTimer>(loop_, dialogs_, intervalMs, enabled);
  Timer& ref = *timer;
  timers_[name] = std::move(timer);
  return ref;
}

Menu& HeadlessForm::menuBar() {
  if (!menuBar_) menuBar_ = std::make_unique<HeadlessMenu>("MainMenu", dialogs_);
  return *menuBar_;
}

Menu& HeadlessForm::addPopupMenu(const std::string& name) {
  popups_.push_back(std::make_unique<HeadlessMenu>(name, dialogs_));
  return *popups_.back();
}

TrayIcon& HeadlessForm::trayIcon() {
  if (!tray_) tray_ = std::make_unique<HeadlessTrayIcon>(dialogs_);
  return *tray_;
}

HeadlessMenuItem& HeadlessForm::menuItem(const std::string& name) const {
  if (menuBar_)
    if (HeadlessMenuItem* item = menuBar_->findByName(name)) return *item;
  for (const auto& popup : popups_)
    if (HeadlessMenuItem* item = popup->findByName(name)) return *item;
  throw std::logic_error("no menu item " + name + " on " + spec_.name);
}

bool HeadlessForm::command(int id) {
  HeadlessMenuItem* item = menuBar_ ? menuBar_->findById(id) : nullptr;
  for (size_t i = 0; item == nullptr && i < popups_.size(); ++i) item = popups_[i]->findById(id);
  if (item == nullptr) return false;
  item->click();
  return true;
}

bool HeadlessForm::queryEndSession() {
  if (onQueryEndSession_) runGuarded(dialogs_, onQueryEndSession_);
  return true;
}

Control* HeadlessForm::find(const std::string& name) const {
  auto it = byName_.find(name);
  return it == byName_.end() ? nullptr : it->second;
}

void HeadlessForm::clickButton(const std::string& name) { get<HeadlessButton>(name).click(); }

std::unique_ptr<Form> HeadlessUiFactory::createForm(const FormSpec& spec) {
  auto form = std::make_unique<HeadlessForm>(spec, loop_, dialogs_, &modalScript);
  HeadlessForm* raw = form.get();
  raw->setMainForm(forms_.empty());
  forms_.push_back(raw);
  raw->onDestroy = [this, raw] { forms_.erase(std::remove(forms_.begin(), forms_.end(), raw), forms_.end()); };
  return form;
}

HeadlessForm& HeadlessUiFactory::form(const std::string& name) const {
  for (HeadlessForm* f : forms_)
    if (f->name() == name) return *f;
  throw std::logic_error("no form " + name);
}

}  // namespace qv::platform::headless
