// The menu bar MainMenu1 and what its items do that is not another command's.
#include "mainwindow/form1_ids.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace ids = qv::ids::form1;

void TForm1::buildMainMenu() {
  platform::Menu& bar = form_->menuBar();

  platform::Menu& file = bar.addSubMenu({"N10", ids::N10, "檔案"});
  file.addItem({"UI1", ids::UI1, "更新 UI"}).setOnClick([this] { UI1Click(); });
  file.addItem({"N17", ids::N17, "啟動遊戲"}).setOnClick([this] { N17Click(); });
  file.addItem({"N14", ids::N14, "退出"}).setOnClick([this] { N14Click(); });

  // The two link items flip their check marks on every click; nothing reads them.
  N9 = &bar.addItem({.name = "N9", .id = ids::N9, .caption = "Pellmoor", .autoCheck = true, .checked = true});
  N9->setOnClick([this] { N9Click(); });
  N5 = &bar.addItem({.name = "N5", .id = ids::N5, .caption = "劍俠3專區", .autoCheck = true, .checked = false});
  N5->setOnClick([this] { N5Click(); });

  platform::Menu& options = bar.addSubMenu({"N1", ids::N1, "選項(&C)"});
  options.addItem({"StopTaskM", ids::StopTaskM, "設置"}).setOnClick([this] { StopTaskMClick(); });
  options.addItem({"N4", ids::N4, "恢復視窗"}).setOnClick([this] { N4Click(); });
  options.addItem({"ApplyFaceM", ids::ApplyFaceM, "啟動程式(&I)"}).setOnClick([this] { ApplyFaceMClick(); });
  options.addItem({"N13", ids::N13, "更新"}).setOnClick([this] { N13Click(); });
  options.addItem({"N8", ids::N8, "-"});

  platform::Menu& help = bar.addSubMenu({"N2", ids::N2, "幫助(&H)"});
  help.addItem({"N6", ids::N6, "幫助(&H)"}).setOnClick([this] { N6Click(); });
  help.addItem({"N7", ids::N7, "關于(&A)"}).setOnClick([this] { N7Click(); });
}

void TForm1::N9Click() { OpenInBrowserWindow(links_.home); }
void TForm1::N5Click() { OpenInBrowserWindow(links_.area); }
void TForm1::N6Click() { OpenInBrowserWindow(links_.forum); }

void TForm1::N7Click() { platform_.dialogs().message("author Tarvik"); }

}  // namespace qv::mainwindow
