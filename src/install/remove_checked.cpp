#include "install/remove_checked.h"

#include "catalogue/addon_names.h"
#include "catalogue/folder_list.h"
#include "catalogue/status_check.h"
#include "common/file_system.h"
#include "common/text.h"

namespace qv::install {

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

std::string removeChecked(const RemoveCommand& command) {
  RemovalReport report;
  // Sends one folder of the add-on directory to the bin when it is there; unsafe names are refused.
  auto removeFolder = [&command, &report](const std::string& folder) {
    if (!catalogue::isSafeName(folder)) {
      report.refused.add(folder);
      return false;
    }
    const std::string path = command.addonDirectory + folder;
    if (!files::isDirectory(path)) return false;
    if (files::isLink(path)) {
      (files::removeTree(path) ? report.unlinked : report.linksKept).push_back(folder);
      return true;
    }
    switch (command.recycle(path)) {
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

  catalogue::AddonList& list = command.list;
  for (int i = 0; i < list.count(); ++i) {
    if (!list.checked(i)) continue;
    const std::string field = text::trim(list.subItem(i, catalogue::kFolderList));
    if (field.find(',') == std::string::npos) {
      // One folder, blanks inside its name included; the status check runs only when it was there.
      if (removeFolder(field)) command.statusCheck();
    } else {
      for (const std::string& entry : catalogue::splitFolderList(field)) removeFolder(entry);
      command.statusCheck();
    }
    list.setChecked(i, false);
  }
  return report.empty() ? std::string() : report.statusText();
}

}  // namespace qv::install
