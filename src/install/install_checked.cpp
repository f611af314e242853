#include "install/install_checked.h"

#include <vector>

#include "catalogue/addon_names.h"
#include "catalogue/archive_check.h"
#include "catalogue/status_check.h"
#include "common/file_system.h"
#include "common/text.h"
#include "install/archive_owners.h"
#include "install/staged_install.h"

namespace qv::install {

namespace {

bool passesTheThreeTests(const catalogue::AddonList& list, int i) {
  return list.checked(i) && !text::trimView(list.subItem(i, catalogue::kChineseName)).empty() &&
         text::trimView(list.subItem(i, catalogue::kStatus)) == catalogue::kStatusNotInstalled;
}

unzip::UnZipServices engineServices(platform::Platform& platform) {
  return {platform.codec(), platform.fileStamps(),
          [&platform](const std::string& text, const std::string& caption, unsigned flags) {
            platform.dialogs().messageBox(
                text, caption,
                (flags & unzip::mb::kIconError) != 0 ? platform::BoxIcon::Error : platform::BoxIcon::None);
            return unzip::mb::kIdOk;
          },
          [&platform] { platform.mainLoop().processMessages(); }};
}

}  // namespace

std::string installChecked(const InstallCommand& command, CommandFeedback& feedback) {
  catalogue::AddonList& list = command.list;
  // Counting pass: one more than the rows to install.
  int n = 1;
  for (int i = 0; i < list.count(); ++i)
    if (passesTheThreeTests(list, i)) ++n;
  feedback.setProgressMax(n);

  const unzip::UnZipServices services = engineServices(command.platform);
  catalogue::RefusedNames refused;
  std::vector<std::string> mismatched;
  const ArchiveOwners owners(list);  // a row whose archive is an earlier row's is skipped
  SkippedNames skipped;
  int failed = 0;
  bool untouched = true;
  std::string lastFailure;
  StagedInstaller installer(services, command.stagingInUse, command.sweeper);
  for (int i = 0; i < list.count(); ++i) {
    if (!passesTheThreeTests(list, i)) continue;
    const std::string caption(list.name(i));
    feedback.showStatus("正在安裝 UI" + caption + "中...");
    const std::string name = text::trim(caption);
    if (!catalogue::isSafeName(name)) {
      refused.add(caption);
      continue;
    }
    if (!owners.owns(i)) {
      skipped.add(caption);  // the row stays checked
      continue;
    }
    const std::string archive = command.files.archive(name);
    if (!files::isFile(archive)) continue;  // not fetched (yet): the row stays checked
    // Not the archive the catalogue describes (damaged, or another one): never extracted, and the row
    // stays checked for the next fetch.
    if (!catalogue::archiveMatches(archive, list.expectedArchive(i), command.platform.crypto())) {
      mismatched.push_back(caption);
      continue;
    }
    list.setChecked(i, false);
    const InstallResult result = installer.install(archive, command.addonDirectory);
    if (!result.ok) {
      ++failed;
      untouched = untouched && result.untouched;
      lastFailure = caption + ": " + result.failure;
    }
    feedback.setProgress(i);
    feedback.showStatus("UI 正在安裝中,稍等...");
    list.setStatus(i, catalogue::kStatusInstalled);
  }
  feedback.setProgress(0);

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
  return skipped.noteOn(outcome, failed > 0 || !refused.empty() || !mismatched.empty());
}

}  // namespace qv::install
