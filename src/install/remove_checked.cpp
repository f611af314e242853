// The remove command (button "  移除選中 UI"): after one question, the folders of every checked row
// go to the recycle bin. Only folders directly inside the add-on directory are ever touched, never
// the add-on directory itself, and nothing is deleted that the bin cannot take back. A folder that is a
// link (a junction to a folder the player keeps elsewhere) is never handed to the shell, which may
// move or delete what it points at (Wine's bin does move it): the link itself is removed, and what it
// points at stays where it is.
#include "catalogue/addon_names.h"
#include "catalogue/folder_list.h"
#include "catalogue/status_check.h"
#include "common/file_system.h"
#include "common/text.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace {

// What one removal pass met that the user should hear of; the status line says the first kind that
// happened (refused names, then folders kept, then failures).
struct RemovalReport {
  catalogue::RefusedNames refused;
  std::vector<std::string> kept;        // the bin cannot take them: left in place
  std::vector<std::string> failed;      // the bin serves them but the move failed
  std::vector<std::string> unlinked;    // links removed themselves, what they point at untouched
  std::vector<std::string> linksKept;   // links the system could not remove without touching their target

  std::string statusText() const {
    std::string out;
    auto append = [&out](const std::string& part) { out += (out.empty() ? "" : "; ") + part; };
    if (!kept.empty()) append("資源回收筒無法接收,資料夾保留原處: " + catalogue::namesForStatusLine(kept));
    if (!failed.empty()) append("無法移至資源回收筒: " + catalogue::namesForStatusLine(failed));
    if (!unlinked.empty()) append("已移除連結,連結指向的資料夾未動: " + catalogue::namesForStatusLine(unlinked));
    if (!linksKept.empty()) append("無法移除連結,保留原處: " + catalogue::namesForStatusLine(linksKept));
    if (!refused.empty()) append(refused.statusText());
    return out;
  }
  bool empty() const {
    return refused.empty() && kept.empty() && failed.empty() && unlinked.empty() && linksKept.empty();
  }
};

}  // namespace

platform::Shell::Recycled TForm1::DeleteToRecycleBin(const std::string& path) {
  try {
    return platform_.shell().recycle(path);
  } catch (...) {
    return platform::Shell::Recycled::Failed;
  }
}

void TForm1::Button8Click() {
  if (!requireGamePath()) return;
  // The caption's trailing blank is deliberate: the box reads exactly as the program's users know it.
  if (!platform_.dialogs().askYesNo("确定要移除選中的UI", "提示 ", true)) return;

  RemovalReport report;
  // Sends one folder of the add-on directory to the bin when it is there; unsafe names are refused.
  auto removeFolder = [this, &report](const std::string& addonDir, const std::string& folder) {
    if (!catalogue::isSafeName(folder)) {
      report.refused.add(folder);
      return false;
    }
    const std::string path = addonDir + folder;
    if (!files::isDirectory(path)) return false;
    if (files::isLink(path)) {
      (files::removeTree(path) ? report.unlinked : report.linksKept).push_back(folder);
      return true;
    }
    switch (DeleteToRecycleBin(path)) {
      case platform::Shell::Recycled::Yes:
        break;
      case platform::Shell::Recycled::NoRecycleBin:
        report.kept.push_back(folder);
        break;
      case platform::Shell::Recycled::Failed:
        report.failed.push_back(folder);
        break;
    }
    return true;
  };

  for (int i = 0; i < list_->count(); ++i) {
    if (!list_->checked(i)) continue;
    const std::string field = text::trim(list_->subItem(i, catalogue::kFolderList));
    const std::string addonDir = catalogue::addonDirectoryOf(settingsDialog().gamePath());
    if (field.find(',') == std::string::npos) {
      // One folder, blanks inside its name included; the status check runs only when it was there.
      if (removeFolder(addonDir, field)) BitBtn4Click();
    } else {
      for (const std::string& entry : catalogue::splitFolderList(field)) removeFolder(addonDir, entry);
      BitBtn4Click();
    }
    list_->setChecked(i, false);
  }
  if (!report.empty()) Label6->setText(report.statusText());
}

}  // namespace qv::mainwindow
