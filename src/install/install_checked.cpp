// The install command (button "安裝選中UI"): every checked row that reads "未安裝" and has a Chinese
// name is installed from its archive in the archive folder. Each archive goes in whole or not at all.
#include "catalogue/addon_names.h"
#include "catalogue/archive_check.h"
#include "catalogue/status_check.h"
#include "common/file_system.h"
#include "common/text.h"
#include "install/archive_owners.h"
#include "install/install_recovery.h"
#include "install/staged_install.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace {

bool passesTheThreeTests(const catalogue::AddonList& list, int i) {
  return list.checked(i) && !text::trimView(list.subItem(i, catalogue::kChineseName)).empty() &&
         text::trimView(list.subItem(i, catalogue::kStatus)) == catalogue::kStatusNotInstalled;
}

}  // namespace

void TForm1::Button1Click() {
  if (!requireGamePath()) return;

  // Counting pass: one more than the rows to install.
  int n = 1;
  for (int i = 0; i < list_->count(); ++i)
    if (passesTheThreeTests(*list_, i)) ++n;
  ProgressBar1->setMax(n);

  const unzip::UnZipServices services{
      platform_.codec(), platform_.fileStamps(),
      [this](const std::string& text, const std::string& caption, unsigned flags) {
        platform_.dialogs().messageBox(text, caption,
                                       (flags & unzip::mb::kIconError) != 0 ? platform::BoxIcon::Error
                                                                         : platform::BoxIcon::None);
        return unzip::mb::kIdOk;
      },
      [this] { platform_.mainLoop().processMessages(); }};

  catalogue::RefusedNames refused;
  std::vector<std::string> mismatched;
  const install::ArchiveOwners owners(*list_);  // a row whose archive is an earlier row's is skipped
  install::SkippedNames skipped;
  int failed = 0;
  bool untouched = true;
  std::string lastFailure;
  install::StagedInstaller installer(services, stagingInUse_, &stagingSweeper_);
  for (int i = 0; i < list_->count(); ++i) {
    if (!passesTheThreeTests(*list_, i)) continue;
    const std::string caption(list_->name(i));
    Label6->setText("正在安裝 UI" + caption + "中...");
    const std::string name = text::trim(caption);
    if (!catalogue::isSafeName(name)) {
      refused.add(caption);
      continue;
    }
    if (!owners.owns(i)) {
      skipped.add(caption);  // the row stays checked
      continue;
    }
    const std::string archive = files_.archive(name);
    if (!files::isFile(archive)) continue;  // not fetched (yet): the row stays checked
    // Not the archive the catalogue describes (damaged, or another one): never extracted, and the row
    // stays checked for the next fetch.
    if (!catalogue::archiveMatches(archive, list_->expectedArchive(i), platform_.crypto())) {
      mismatched.push_back(caption);
      continue;
    }
    list_->setChecked(i, false);
    const std::string destination = catalogue::addonDirectoryOf(settingsDialog().gamePath());
    const install::InstallResult result = installer.install(archive, destination);
    if (!result.ok) {
      ++failed;
      untouched = untouched && result.untouched;
      lastFailure = caption + ": " + result.failure;
    }
    ProgressBar1->setPosition(i);
    Label6->setText("UI 正在安裝中,稍等...");
    list_->setStatus(i, catalogue::kStatusInstalled);
  }
  ProgressBar1->setPosition(0);
  BitBtn4Click();

  // The run tells the truth: an archive that did not go in is not reported as installed, and files
  // that could not be put back are not reported as unchanged.
  std::string outcome = "勾選的UI 已經安裝完畢";
  if (failed > 0) {
    outcome = std::to_string(failed) + " 個UI 安裝失敗," +
              (untouched ? "原有檔案未變動" : "有原有檔案未能放回原處,保留在暫存資料夾,下次啟動時再還原");
    if (failed == 1) outcome += " (" + lastFailure + ")";
  }
  if (const std::string recovery = installer.recovery().statusText(); !recovery.empty())
    outcome += "; " + recovery;
  if (!refused.empty()) outcome = failed > 0 ? outcome + "; " + refused.statusText() : refused.statusText();
  if (!mismatched.empty()) {
    const std::string text = catalogue::mismatchStatusText(mismatched);
    outcome = failed > 0 || !refused.empty() ? outcome + "; " + text : text;
  }
  Label6->setText(skipped.noteOn(outcome, failed > 0 || !refused.empty() || !mismatched.empty()));
}

}  // namespace qv::mainwindow

namespace qv::mainwindow {

std::string TForm1::recoverInterruptedInstalls() {
  const std::string gamePath = settingsDialog().gamePath();
  if (text::trim(gamePath).empty()) return {};
  return install::recoverInterruptedInstalls(catalogue::addonDirectoryOf(gamePath), platform_.fileStamps(),
                                             &stagingInUse_)
      .statusText();
}

}  // namespace qv::mainwindow
