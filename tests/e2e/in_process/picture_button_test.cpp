// The start-game button: a picture instead of a caption, the hand cursor over it, and a click like any
// button's.
#include "driver/files.h"
#include "driver/quorvane_test.h"
#include "driver/screenshot.h"
#include "gui_test.h"

namespace qv::in_process {
namespace {

SIZE iconSize(HICON icon) {
  ICONINFO info{};
  if (!::GetIconInfo(icon, &info)) return SIZE{0, 0};
  BITMAP bitmap{};
  ::GetObjectW(info.hbmColor != nullptr ? info.hbmColor : info.hbmMask, sizeof(bitmap), &bitmap);
  if (info.hbmColor != nullptr) ::DeleteObject(info.hbmColor);
  if (info.hbmMask != nullptr) ::DeleteObject(info.hbmMask);
  return SIZE{bitmap.bmWidth, bitmap.bmHeight};
}

// Where the e2e suite leaves its pictures for review.
struct Shots : qv::e2e::QuorvaneTest {
  using QuorvaneTest::shotsDirectory;
};

class PictureButtonTest : public GuiTest {
 protected:
  void SetUp() override {
    form_ = makeForm("PictureForm");
    picture_ = &form_->addPictureButton({"BitBtn3", kPictureId, {10, 10, 189, 61}, ""});
    plain_ = &form_->addButton({"Button1", kPlainId, {10, 100, 170, 40}, "安裝選中UI"});
    form_->show();
  }
  HWND control(int id) const { return ::GetDlgItem(windowOf(*form_), id); }
  // Asks the control which cursor it wants while the pointer rests on it, as the system does.
  HCURSOR cursorOver(HWND window) {
    ::SetCursor(::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    ::SendMessageW(window, WM_SETCURSOR, reinterpret_cast<WPARAM>(window),
                   MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    return ::GetCursor();
  }

  static constexpr int kPictureId = 1103;
  static constexpr int kPlainId = 1001;
  std::unique_ptr<platform::Form> form_;
  platform::Button* picture_ = nullptr;
  platform::Button* plain_ = nullptr;
};

TEST_F(PictureButtonTest, ShowsThePictureInsteadOfACaption) {
  HWND button = control(kPictureId);
  ASSERT_NE(button, nullptr);
  EXPECT_NE(::GetWindowLongW(button, GWL_STYLE) & BS_ICON, 0);
  EXPECT_EQ(picture_->text(), "");
  auto icon = reinterpret_cast<HICON>(::SendMessageW(button, BM_GETIMAGE, IMAGE_ICON, 0));
  ASSERT_NE(icon, nullptr);
  // The picture keeps its wide proportions and fits inside the button's face.
  const SIZE size = iconSize(icon);
  RECT face{};
  ::GetClientRect(button, &face);
  EXPECT_GT(size.cx, 2 * size.cy);
  EXPECT_LE(size.cx, face.right);
  EXPECT_LE(size.cy, face.bottom);
  EXPECT_GE(size.cy, face.bottom / 2);
}

TEST_F(PictureButtonTest, PictureIsWhatTheButtonPaints) {
  form_->menuBar().addItem({"N9", 40009, "Pellmoor", true, true});
  HWND button = control(kPictureId);
  ::RedrawWindow(windowOf(*form_), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
  pumpFor(200);
  // Left of the middle the picture is its crimson plaque; a button without it would be grey there.
  RECT r{};
  ::GetWindowRect(button, &r);
  const POINT plaque{(r.left + r.right) / 2 - 30, (r.top + r.bottom) / 2 - 14};
  const COLORREF colour = qv::e2e::screenPixel(plaque);
  EXPECT_GT(GetRValue(colour), 2 * GetGValue(colour)) << std::hex << colour;
  EXPECT_GT(GetRValue(colour), 2 * GetBValue(colour)) << std::hex << colour;

  // For review beside the e2e suite's pictures.
  const std::wstring shots = Shots::shotsDirectory();
  qv::e2e::makeDirectory(shots);
  qv::e2e::saveScreenContents(windowOf(*form_), shots + L"\\in_process_picture_button.bmp");
}

TEST_F(PictureButtonTest, HandCursorOverThePictureButtonOnly) {
  const HCURSOR hand = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND));
  ASSERT_NE(hand, nullptr);
  EXPECT_EQ(cursorOver(control(kPictureId)), hand);
  EXPECT_NE(cursorOver(control(kPlainId)), hand);
}

TEST_F(PictureButtonTest, ClickRunsItsHandler) {
  int clicks = 0;
  picture_->setOnClick([&] { ++clicks; });
  HWND button = control(kPictureId);
  ::SendMessageW(windowOf(*form_), WM_COMMAND, MAKEWPARAM(kPictureId, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
  EXPECT_EQ(clicks, 1);
}

}  // namespace
}  // namespace qv::in_process
