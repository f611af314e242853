#pragma once
// The report-view list with a check box per row. Rows stay where the model inserts them (no sorting
// by the control). Every text is a callback: the control keeps the rows and their check marks, and
// asks the row source for a text when it paints or is asked for it. The view reports back what the
// user did: check marks, header clicks, tips.
//
// The list sits in a frame window of its own that fills the control's place: the list sends its
// notifications (one per inserted row, one per cell it paints) to its parent, and the frame hands
// them straight to this object. The containers' general routing finds a control through a window
// property, which under Wine is a round trip to the server per notification, and filling a list of
// ten thousand rows sends ten thousand. The list carries the control's id; the frame has none.
#include <functional>
#include <vector>

#include "platform/win32/child_window.h"

namespace qv::platform::win32 {

class Win32ListView final : public ControlBase<ListView> {
 public:
  Win32ListView(UiContext& ctx, ChildHost& host, const ControlSpec& spec);
  ~Win32ListView() override;

  void setColumns(const std::vector<ListColumn>& columns) override;
  void setColumnCaption(int column, const std::string& caption) override;
  std::string columnCaption(int column) const override;
  void setRowSource(const ListRowSource* source) override { source_ = source; }
  int rowCount() const override;
  void insertRow(int index) override;
  void resetRows(int count) override;
  void rowChanged(int row) override;
  std::string cell(int row, int column) const override;
  void setChecked(int row, bool checked) override;
  bool checked(int row) const override;
  void beginUpdate() override;
  void endUpdate() override;
  void setOnCheckChanged(std::function<void(int row, bool checked)> handler) override {
    onCheckChanged_ = std::move(handler);
  }
  void setOnColumnClick(std::function<void(int column)> handler) override { onColumnClick_ = std::move(handler); }
  void setOnInfoTip(std::function<std::string(int row)> handler) override { onInfoTip_ = std::move(handler); }

  LRESULT onNotify(NMHDR& header) override;
  void afterMove() override;
  void detach() override;

 private:
  void itemChanged(const NMHDR& header);
  void fillText(NMHDR& header) const;
  // Appends a row whose caption and sub-items are all callbacks; returns false when the control refuses.
  bool appendCallbackRow(int index);
  // Rows kept through a refill lose their check marks, selection and focus, as in a list made afresh.
  void clearKeptRows(int kept);
  // Turns the control's drawing off for the rest of the update, just before the first change that
  // would have it repaint row by row. Switching it back on costs the control a fresh layout (tens of
  // milliseconds under Wine), so an update that changes no row in the control (a status check, a
  // refill to the same count) only invalidates the list once at its end.
  void holdRedraw();
  void infoTip(NMHDR& header);
  // The list's own tip window tells the list (not us) that it is about to show; a subclass hears it
  // and places the tip below-right of the row, one cursor size in, instead of under the pointer.
  // The subclass is the classic one (window procedure swapped, this object in GWLP_USERDATA): the
  // common controls' SetWindowSubclass finds its data through a window property on every message,
  // which under Wine is a round trip to the server, and a refresh sends the list thousands.
  static LRESULT CALLBACK windowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static LRESULT CALLBACK frameProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
  static const wchar_t* frameClass();
  bool placeTip(HWND tip);
  // Stops both windows from calling into this object.
  void unhook();

  HWND list_ = nullptr;         // the list view inside the frame (hwnd_)
  WNDPROC listProc_ = nullptr;  // the list view class's own procedure
  int tipRow_ = -1;
  const ListRowSource* source_ = nullptr;

  // Above zero while the program itself changes check marks or inserts rows: those changes are not
  // the user's and are not reported back.
  int quiet_ = 0;
  int updateDepth_ = 0;
  bool redrawHeld_ = false;
  // Which rows carry a check mark, as the control reported the changes: a refill unchecks only those
  // instead of sending every row a message (and the control a notification pair per row).
  std::vector<bool> marks_;
  std::function<void(int, bool)> onCheckChanged_;
  std::function<void(int)> onColumnClick_;
  std::function<std::string(int)> onInfoTip_;
};

}  // namespace qv::platform::win32
