#include "platform/win32/win32_list_view.h"

#include <commctrl.h>

#include <algorithm>
#include <climits>

#include "common/scope_exit.h"
#include "platform/error_boundary.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {
constexpr UINT kUnchecked = 1;  // state image indexes of the check box
constexpr UINT kChecked = 2;

UINT stateImage(UINT state) { return (state & LVIS_STATEIMAGEMASK) >> 12; }

// Copies as much of `text` as fits into a buffer the control handed out, always terminated.
void copyToBuffer(std::string_view utf8, wchar_t* buffer, int capacity) {
  if (buffer == nullptr || capacity <= 0) return;
  const std::wstring wide = toWide(utf8);
  const size_t n = std::min(wide.size(), static_cast<size_t>(capacity - 1));
  wide.copy(buffer, n);
  buffer[n] = L'\0';
}

// Counts a change the program makes itself for as long as it lasts.
auto quietChange(int& depth) {
  ++depth;
  return ScopeExit([&depth] { --depth; });
}
}  // namespace

const wchar_t* Win32ListView::frameClass() {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = frameProc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.lpszClassName = L"QuorvaneListFrame";
    return ::RegisterClassExW(&wc) != 0;
  }();
  (void)registered;
  return L"QuorvaneListFrame";
}

Win32ListView::Win32ListView(UiContext& ctx, ChildHost& host, const ControlSpec& spec) : ControlBase(ctx, host, spec) {
  // The frame is what the container places and shows; tab navigation goes through it to the list.
  create(frameClass(), WS_CLIPCHILDREN, WS_EX_CONTROLPARENT, std::string());
  if (hwnd_ == nullptr) return;
  ::SetWindowLongPtrW(hwnd_, GWLP_ID, 0);
  ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  // The frame is made at its size already (it hears no WM_SIZE after this), so the list fills it now.
  RECT client{};
  ::GetClientRect(hwnd_, &client);
  list_ = ::CreateWindowExW(
      WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL, 0,
      0, client.right, client.bottom, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)),
      ::GetModuleHandleW(nullptr), nullptr);
  if (list_ == nullptr) return;
  ::SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(ctx_.font()), FALSE);
  const DWORD ex = LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_LABELTIP;
  ::SendMessageW(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
  // A tip stays up as long as the system allows while the pointer rests on its row.
  if (HWND tips = reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETTOOLTIPS, 0, 0)))
    ::SendMessageW(tips, TTM_SETDELAYTIME, TTDT_AUTOPOP, MAKELPARAM(SHRT_MAX, 0));
  ::SetWindowLongPtrW(list_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  listProc_ = reinterpret_cast<WNDPROC>(
      ::SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Win32ListView::windowProc)));
}

Win32ListView::~Win32ListView() { unhook(); }

void Win32ListView::detach() {
  unhook();
  ChildWindow::detach();
}

void Win32ListView::unhook() {
  if (list_ != nullptr && ::IsWindow(list_) && listProc_ != nullptr) {
    ::SetWindowLongPtrW(list_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(listProc_));
    ::SetWindowLongPtrW(list_, GWLP_USERDATA, 0);
  }
  listProc_ = nullptr;
  if (hwnd_ != nullptr && ::IsWindow(hwnd_)) ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
}

LRESULT CALLBACK Win32ListView::frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // No exception may unwind through the system's code.
  try {
    auto* self = reinterpret_cast<Win32ListView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    switch (msg) {
      case WM_NOTIFY:
        if (self != nullptr && reinterpret_cast<const NMHDR*>(lp)->hwndFrom == self->list_)
          return self->onNotify(*reinterpret_cast<NMHDR*>(lp));
        break;
      case WM_SIZE:
        if (self != nullptr && self->list_ != nullptr)
          ::MoveWindow(self->list_, 0, 0, LOWORD(lp), HIWORD(lp), TRUE);
        return 0;
      case WM_SETFOCUS:
        if (self != nullptr && self->list_ != nullptr) ::SetFocus(self->list_);
        return 0;
      case WM_ERASEBKGND:
        return 1;  // the list covers the whole frame
      default:
        break;
    }
  } catch (...) {
    return 0;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

LRESULT CALLBACK Win32ListView::windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = reinterpret_cast<Win32ListView*>(::GetWindowLongPtrW(hwnd, GWLP_USERDATA));
  if (self == nullptr || self->listProc_ == nullptr) return ::DefWindowProcW(hwnd, msg, wp, lp);  // not after unhook
  const WNDPROC listProc = self->listProc_;
  try {
    if (msg == WM_NOTIFY && reinterpret_cast<const NMHDR*>(lp)->code == TTN_SHOW &&
        self->placeTip(reinterpret_cast<const NMHDR*>(lp)->hwndFrom))
      return TRUE;
  } catch (...) {
    // Placing a tip cannot fail in a way worth more than the default placement.
  }
  if (msg == WM_NCDESTROY) self->unhook();  // the window goes before this object
  return ::CallWindowProcW(listProc, hwnd, msg, wp, lp);
}

bool Win32ListView::placeTip(HWND tip) {
  if (tipRow_ < 0 || tipRow_ >= rowCount()) return false;
  RECT row{};
  row.left = LVIR_BOUNDS;
  if (!::SendMessageW(list_, LVM_GETITEMRECT, static_cast<WPARAM>(tipRow_), reinterpret_cast<LPARAM>(&row)))
    return false;
  // A row scrolled partly out to the left still gets its tip inside the list.
  POINT at{std::max(row.left, 0L) + ::GetSystemMetrics(SM_CXCURSOR), row.top + ::GetSystemMetrics(SM_CYCURSOR)};
  ::ClientToScreen(list_, &at);
  ::SetWindowPos(tip, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  return true;
}

void Win32ListView::setColumns(const std::vector<ListColumn>& columns) {
  while (::SendMessageW(list_, LVM_DELETECOLUMN, 0, 0)) {
  }
  for (size_t i = 0; i < columns.size(); ++i) {
    std::wstring caption = toWide(columns[i].caption);
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    column.pszText = caption.data();
    column.cx = ctx_.scale(columns[i].width);
    column.iSubItem = static_cast<int>(i);
    ::SendMessageW(list_, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&column));
  }
}

void Win32ListView::setColumnCaption(int column, const std::string& caption) {
  std::wstring text = toWide(caption);
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT;
  c.pszText = text.data();
  ::SendMessageW(list_, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c));
}

std::string Win32ListView::columnCaption(int column) const {
  std::wstring buffer(1024, L'\0');
  LVCOLUMNW c{};
  c.mask = LVCF_TEXT;
  c.pszText = buffer.data();
  c.cchTextMax = static_cast<int>(buffer.size());
  if (!::SendMessageW(list_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&c))) return {};
  return toUtf8(c.pszText);
}

int Win32ListView::rowCount() const { return static_cast<int>(::SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

bool Win32ListView::appendCallbackRow(int index) {
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = index;
  item.pszText = LPSTR_TEXTCALLBACKW;
  // The sub-items of a callback row are asked for through LVN_GETDISPINFO as well (the control's
  // documented use: insert callback items, answer every column in the notification), so a row costs
  // one message, not one per column.
  return ::SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)) >= 0;
}

void Win32ListView::insertRow(int index) {
  const auto quiet = quietChange(quiet_);
  holdRedraw();
  if (index >= 0 && static_cast<size_t>(index) <= marks_.size()) marks_.insert(marks_.begin() + index, false);
  appendCallbackRow(index);
}

void Win32ListView::resetRows(int count) {
  const auto quiet = quietChange(quiet_);
  if (count < 0) count = 0;
  const int have = rowCount();
  // Every row of the control is alike (texts are callbacks), so rows are only added or dropped to
  // match the count; re-ordering or refilling the list costs no re-insertion. Many surplus rows go
  // at once, a few from the end.
  if (have > 0 && (count == 0 || count < have / 2)) {
    holdRedraw();
    ::SendMessageW(list_, LVM_DELETEALLITEMS, 0, 0);
  } else {
    for (int row = have - 1; row >= count; --row) {
      holdRedraw();
      ::SendMessageW(list_, LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    }
  }
  const int start = rowCount();
  marks_.resize(static_cast<size_t>(start));
  clearKeptRows(start);
  if (count > start) {
    holdRedraw();
    ::SendMessageW(list_, LVM_SETITEMCOUNT, static_cast<WPARAM>(count), 0);
  }
  for (int row = start; row < count; ++row)
    if (!appendCallbackRow(row)) break;
  marks_.resize(static_cast<size_t>(rowCount()), false);
  if (updateDepth_ == 0) ::InvalidateRect(list_, nullptr, TRUE);
}

void Win32ListView::clearKeptRows(int kept) {
  LVITEMW unchecked{};
  unchecked.stateMask = LVIS_STATEIMAGEMASK;
  unchecked.state = INDEXTOSTATEIMAGEMASK(kUnchecked);
  for (int row = 0; row < kept; ++row) {
    if (!marks_[static_cast<size_t>(row)]) continue;
    holdRedraw();
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&unchecked));
    marks_[static_cast<size_t>(row)] = false;  // whether or not the control told us
  }
  // One row at most is selected (single selection) and one has the focus.
  LVITEMW plain{};
  plain.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
  for (const UINT which : {LVNI_SELECTED, LVNI_FOCUSED}) {
    const auto row = static_cast<int>(
        ::SendMessageW(list_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), MAKELPARAM(which, 0)));
    if (row < 0 || row >= kept) continue;
    holdRedraw();
    ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&plain));
  }
}

void Win32ListView::rowChanged(int row) {
  // While an update runs, its end repaints everything.
  if (updateDepth_ == 0) ::SendMessageW(list_, LVM_REDRAWITEMS, static_cast<WPARAM>(row), static_cast<LPARAM>(row));
}

std::string Win32ListView::cell(int row, int column) const {
  // The control gives no length up front: grow the buffer until the text fits with room to spare.
  for (size_t size = 256;; size *= 2) {
    std::wstring buffer(size, L'\0');
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer.data();
    item.cchTextMax = static_cast<int>(size);
    const auto length = static_cast<size_t>(
        ::SendMessageW(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
    if (length + 1 < size || size >= (1u << 20)) return toUtf8(std::wstring_view(item.pszText, length));
  }
}

void Win32ListView::setChecked(int row, bool checked) {
  // Row -1 would mean "every row" to the control.
  if (row < 0) return;
  const auto quiet = quietChange(quiet_);
  holdRedraw();
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? kChecked : kUnchecked);
  ::SendMessageW(list_, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool Win32ListView::checked(int row) const {
  const auto state =
      static_cast<UINT>(::SendMessageW(list_, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
  return stateImage(state) == kChecked;
}

void Win32ListView::beginUpdate() {
  ++updateDepth_;
}

void Win32ListView::holdRedraw() {
  if (updateDepth_ == 0 || redrawHeld_) return;
  ::SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
  redrawHeld_ = true;
}

void Win32ListView::endUpdate() {
  if (updateDepth_ == 0 || --updateDepth_ > 0) return;
  if (redrawHeld_) {
    redrawHeld_ = false;
    ::SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
  }
  ::InvalidateRect(list_, nullptr, TRUE);
}

LRESULT Win32ListView::onNotify(NMHDR& header) {
  switch (header.code) {
    case LVN_ITEMCHANGED:
      itemChanged(header);
      break;
    case LVN_COLUMNCLICK:
      if (onColumnClick_) {
        const int column = reinterpret_cast<const NMLISTVIEW&>(header).iSubItem;
        const auto handler = onColumnClick_;
        runGuarded(ctx_.dialogs(), [&] { handler(column); });
      }
      break;
    case LVN_GETDISPINFOW:
      fillText(header);
      break;
    case LVN_GETINFOTIPW:
      infoTip(header);
      break;
    case LVN_DELETEALLITEMS:
      return TRUE;  // no LVN_DELETEITEM per row: nothing is attached to a row

    default:
      break;
  }
  return 0;
}

void Win32ListView::itemChanged(const NMHDR& header) {
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if (change.iItem < 0 || (change.uChanged & LVIF_STATE) == 0) return;
  const UINT before = stateImage(change.uOldState);
  const UINT after = stateImage(change.uNewState);
  // A change of selection or focus alone carries the same image (or none) on both sides.
  if (before == after) return;
  const auto row = static_cast<size_t>(change.iItem);
  if (row >= marks_.size()) marks_.resize(std::max(row + 1, static_cast<size_t>(rowCount())), false);
  marks_[row] = after == kChecked;
  // Image 0 is "no check box yet": the control assigns the first image itself as a row appears.
  if (quiet_ > 0 || before == 0 || !onCheckChanged_) return;
  const auto handler = onCheckChanged_;
  runGuarded(ctx_.dialogs(), [&] { handler(change.iItem, after == kChecked); });
}

void Win32ListView::fillText(NMHDR& header) const {
  auto& info = reinterpret_cast<NMLVDISPINFOW&>(header);
  if ((info.item.mask & LVIF_TEXT) == 0) return;
  copyToBuffer(source_ != nullptr ? source_->cellText(info.item.iItem, info.item.iSubItem) : std::string_view(),
               info.item.pszText, info.item.cchTextMax);
}

void Win32ListView::infoTip(NMHDR& header) {
  auto& tip = reinterpret_cast<NMLVGETINFOTIPW&>(header);
  if (!onInfoTip_ || tip.iItem < 0 || tip.pszText == nullptr || tip.cchTextMax <= 0) return;
  tipRow_ = tip.iItem;
  std::string text;
  const auto handler = onInfoTip_;
  runGuarded(ctx_.dialogs(), [&] { text = handler(tip.iItem); });
  copyToBuffer(text, tip.pszText, tip.cchTextMax);
}

void Win32ListView::afterMove() {
  // A tip breaks its lines (name, Chinese name, description) only when it has a maximum width; the
  // list's client width is that limit.
  HWND tips = reinterpret_cast<HWND>(::SendMessageW(list_, LVM_GETTOOLTIPS, 0, 0));
  if (tips == nullptr) return;
  RECT r{};
  ::GetClientRect(list_, &r);
  ::SendMessageW(tips, TTM_SETMAXTIPWIDTH, 0, r.right - r.left);
}

}  // namespace qv::platform::win32
