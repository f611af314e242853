// The main window's add-on commands: install the checked rows (button "安裝選中UI"), fetch every
// archive (the hidden button "down") with the handlers it gives every worker, and remove the checked
// rows (button "  移除選中 UI"). The work is the install subsystem's; here the window supplies its list,
// its status line and its status check.
#include "catalogue/status_check.h"
#include "common/text.h"
#include "install/download_all.h"
#include "install/install_checked.h"
#include "install/install_recovery.h"
#include "install/remove_checked.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

void TForm1::Button1Click() {
  if (!requireGamePath()) return;
  const std::string outcome = install::installChecked(
      {*list_, files_, catalogue::addonDirectoryOf(settingsDialog().gamePath()), platform_, stagingInUse_,
       &stagingSweeper_},
      *feedback_);
  BitBtn4Click();
  Label6->setText(outcome);
}

std::string TForm1::recoverInterruptedInstalls() {
  const std::string gamePath = settingsDialog().gamePath();
  if (text::trim(gamePath).empty()) return {};
  return install::recoverInterruptedInstalls(catalogue::addonDirectoryOf(gamePath), platform_.fileStamps(),
                                             &stagingInUse_)
      .statusText();
}

void TForm1::Button4Click() {
  {
    // The transfers begin once the window has shown the refreshed list and its counters.
    const download::DownloadWorkers::Batch transfers(*workers_);
    install::fetchAllArchives(
        {*list_, files_, server_, platform_.crypto(), startUpPass_,
         [this](platform::DownloadRequest request) { startDownload(std::move(request)); }},
        *feedback_);
  }
  BitBtn4Click();
}

void TForm1::DownLoadComplete(download::TFileDownLoadThread& /*Sender*/) {
  // Runs on the worker's thread: the count and the window are the main thread's.
  postToWindow([this] {
    ++DownLoadedCount;
    install::reportArrival(*list_, DownLoadedCount, *feedback_);
  });
}

void TForm1::DownLoadError(download::TFileDownLoadThread& Sender, int32_t ErrorCode) {
  postToWindow([this, text = install::transferFailureText(Sender.fileName(), ErrorCode)] { Label6->setText(text); });
}

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
  const std::string report = install::removeChecked(
      {*list_, catalogue::addonDirectoryOf(settingsDialog().gamePath()),
       [this](const std::string& path) { return DeleteToRecycleBin(path); }, [this] { BitBtn4Click(); }});
  if (!report.empty()) Label6->setText(report);
}

}  // namespace qv::mainwindow
