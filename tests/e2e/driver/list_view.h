#pragma once
// Reading and working the program's report-view list from outside: row texts, check marks, column
// headers. Every pointer these messages carry lives in the program's process (RemoteMemory).
#include <windows.h>

#include <string>
#include <vector>

namespace qv::e2e {

int rowCount(HWND list);
std::wstring cellText(HWND list, int row, int column);
// Every row's first `columns` cells, as UTF-8 for readable failure messages.
std::vector<std::vector<std::string>> rowTexts(HWND list, int columns);
// One column of every row, as UTF-8.
std::vector<std::string> columnTexts(HWND list, int column);

bool isRowChecked(HWND list, int row);
bool isRowSelected(HWND list, int row);
// The middle of a row's first cell, in the list's client coordinates.
POINT rowCenter(HWND list, int row);
std::vector<bool> checkMarks(HWND list);
// Sets the row's check box the way the list itself does when the user clicks it, so the owner hears
// of the change through its own notification.
void setRowChecked(HWND list, int row, bool checked);

int columnCount(HWND list);
std::wstring columnCaption(HWND list, int column);
// Presses and releases the left button over the middle of the column's header, as a user's click does;
// the header then tells the list, and the list tells its owner.
void clickColumnHeader(HWND list, int column);

}  // namespace qv::e2e
