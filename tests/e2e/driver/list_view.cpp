#include "driver/list_view.h"

#include <commctrl.h>

#include <cstddef>
#include <stdexcept>
#include <utility>

#include "driver/remote_memory.h"
#include "driver/text.h"
#include "driver/ui.h"

namespace qv::e2e {
namespace {

// Longer than any cell the program shows; the list cuts longer texts at this size anyway.
constexpr int kTextChars = 1024;

// The block for a text request: the item structure first, its text buffer right behind it.
constexpr size_t kTextOffset = (sizeof(LVITEMW) + 15) / 16 * 16;

HWND headerOf(HWND list) {
  HWND header = reinterpret_cast<HWND>(sendChecked(list, LVM_GETHEADER, 0, 0));
  if (!header) throw std::runtime_error("the list has no header");
  return header;
}

}  // namespace

int rowCount(HWND list) {
  return static_cast<int>(sendChecked(list, LVM_GETITEMCOUNT, 0, 0));
}

std::wstring cellText(HWND list, int row, int column) {
  RemoteMemory block(list, kTextOffset + kTextChars * sizeof(wchar_t));
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = static_cast<wchar_t*>(block.at(kTextOffset));
  item.cchTextMax = kTextChars;
  block.put(0, item);
  const auto length = static_cast<size_t>(sendChecked(list, LVM_GETITEMTEXTW, row, block.address()));
  if (length >= static_cast<size_t>(kTextChars)) throw std::runtime_error("list text longer than the buffer");
  std::wstring text(length, L'\0');
  if (length > 0) block.read(kTextOffset, text.data(), length * sizeof(wchar_t));
  return text;
}

std::vector<std::vector<std::string>> rowTexts(HWND list, int columns) {
  std::vector<std::vector<std::string>> rows;
  const int count = rowCount(list);
  for (int row = 0; row < count; ++row) {
    std::vector<std::string> cells;
    for (int column = 0; column < columns; ++column) cells.push_back(utf8(cellText(list, row, column)));
    rows.push_back(std::move(cells));
  }
  return rows;
}

std::vector<std::string> columnTexts(HWND list, int column) {
  std::vector<std::string> texts;
  const int count = rowCount(list);
  for (int row = 0; row < count; ++row) texts.push_back(utf8(cellText(list, row, column)));
  return texts;
}

bool isRowChecked(HWND list, int row) {
  const auto state = static_cast<UINT>(sendChecked(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
  // State image 1 is the empty box, 2 the checked one.
  return (state & LVIS_STATEIMAGEMASK) == INDEXTOSTATEIMAGEMASK(2);
}

bool isRowSelected(HWND list, int row) {
  return (sendChecked(list, LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

POINT rowCenter(HWND list, int row) {
  RemoteMemory block(list, sizeof(RECT));
  RECT r{};
  r.left = LVIR_LABEL;
  block.put(0, r);
  if (!sendChecked(list, LVM_GETITEMRECT, row, block.address()))
    throw std::runtime_error("the list has no row " + std::to_string(row));
  r = block.get<RECT>(0);
  return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::vector<bool> checkMarks(HWND list) {
  std::vector<bool> marks;
  const int count = rowCount(list);
  for (int row = 0; row < count; ++row) marks.push_back(isRowChecked(list, row));
  return marks;
}

void setRowChecked(HWND list, int row, bool checked) {
  RemoteMemory block(list, sizeof(LVITEMW));
  LVITEMW item{};
  item.stateMask = LVIS_STATEIMAGEMASK;
  item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
  block.put(0, item);
  if (!sendChecked(list, LVM_SETITEMSTATE, row, block.address()))
    throw std::runtime_error("the list refused to change the check mark of row " + std::to_string(row));
}

int columnCount(HWND list) {
  return static_cast<int>(sendChecked(headerOf(list), HDM_GETITEMCOUNT, 0, 0));
}

std::wstring columnCaption(HWND list, int column) {
  RemoteMemory block(list, kTextOffset + kTextChars * sizeof(wchar_t));
  LVCOLUMNW info{};
  static_assert(sizeof(LVCOLUMNW) <= kTextOffset);
  info.mask = LVCF_TEXT;
  info.pszText = static_cast<wchar_t*>(block.at(kTextOffset));
  info.cchTextMax = kTextChars;
  block.put(0, info);
  block.put(kTextOffset, L'\0');
  if (!sendChecked(list, LVM_GETCOLUMNW, column, block.address()))
    throw std::runtime_error("the list has no column " + std::to_string(column));
  std::wstring text(kTextChars, L'\0');
  block.read(kTextOffset, text.data(), text.size() * sizeof(wchar_t));
  text.resize(text.find(L'\0'));
  return text;
}

void clickColumnHeader(HWND list, int column) {
  HWND header = headerOf(list);
  RemoteMemory block(header, sizeof(RECT));
  if (!sendChecked(header, HDM_GETITEMRECT, column, block.address()))
    throw std::runtime_error("the header has no item " + std::to_string(column));
  const RECT r = block.get<RECT>(0);
  const LPARAM at = MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2);
  // Posted in order, so the header sees the pointer arrive, the press and the release at one place.
  for (const auto& [message, keys] :
       {std::pair<UINT, WPARAM>{WM_MOUSEMOVE, 0}, {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}}) {
    if (!PostMessageW(header, message, keys, at))
      throw std::runtime_error("cannot post a click to the header");
  }
}

}  // namespace qv::e2e
