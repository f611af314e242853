// Closing hides the main window to the tray; only the exit items (and the self-update) end the
// program. The tray icon brings the window back and carries the pop-up menu PopupMenu1.
#include "mainwindow/form1_ids.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace ids = qv::ids::form1;

void TForm1::buildTray() {
  PopupMenu1 = &form_->addPopupMenu("PopupMenu1");
  PopupMenu1->addItem({"RestoreM", ids::RestoreM, "恢復視窗(&R)"}).setOnClick([this] { RestoreMClick(); });
  PopupMenu1->addItem({"N11", ids::N11, "設置"}).setOnClick([this] { N11Click(); });
  PopupMenu1->addItem({"N12", ids::N12, "檢查更新"}).setOnClick([this] { N12Click(); });
  PopupMenu1->addItem({"N3", ids::N3, "退出程式"}).setOnClick([this] { N3Click(); });

  TrayIcon1 = &form_->trayIcon();
  TrayIcon1->setPopupMenu(PopupMenu1);
  TrayIcon1->setOnClick([this] { TrayIcon1Click(); });
  TrayIcon1->setOnDblClick([this] { TrayIcon1DblClick(); });
}

bool TForm1::FormCloseQuery() {
  if (exitFlag_) {
    // The window goes for real; its icon must not stay behind in the notification area.
    TrayIcon1->remove();
    return true;
  }
  hideMainWindow();
  TrayIcon1->show();
  // The title's trailing blank is deliberate: the balloon reads exactly as the program's users know it.
  TrayIcon1->showBalloon("Quorvane ", "Pellmoor! Hello", platform::BalloonIcon::Information, 10);
  return false;
}

// Log-off and shutdown are never held up: no hiding, no balloon, the answer is yes.
void TForm1::FormQueryEndSession() { exitFlag_ = false; }

void TForm1::N14Click() {
  exitFlag_ = true;
  form_->close();
}

void TForm1::hideMainWindow() { form_->hide(); }

// Showing a hidden window runs its show step again (settings re-read, and so on).
void TForm1::showMainWindow() { form_->show(); }

void TForm1::RestoreMClick() {
  showMainWindow();
  TrayIcon1->remove();
  Button3Click();
}

void TForm1::TrayIcon1Click() { hideMainWindow(); }

void TForm1::TrayIcon1DblClick() {
  showMainWindow();
  TrayIcon1->remove();
}

}  // namespace qv::mainwindow
