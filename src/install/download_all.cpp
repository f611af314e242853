#include "install/download_all.h"

#include <algorithm>

#include "catalogue/addon_names.h"
#include "catalogue/archive_check.h"
#include "common/error.h"
#include "common/file_system.h"
#include "common/path.h"
#include "common/text.h"
#include "install/archive_owners.h"
#include "platform/resource_bounds.h"

namespace qv::install {

namespace {

// An archive the catalogue describes replaces the one in the archive folder only when it is the one
// described (a cut transfer or a mixed-up file stays out, and the previous archive stays); the size
// it names also caps the transfer.
platform::DownloadTerms archiveTerms(const catalogue::ArchiveExpectation& expected, const platform::Crypto& crypto,
                                     uint64_t startUpPass) {
  platform::DownloadTerms terms{platform::resource_bounds::kArchive, {}, {true, startUpPass}};
  if (!expected.any()) return terms;
  if (expected.size) terms.bounds.maxBytes = std::min(terms.bounds.maxBytes, *expected.size);
  terms.accept = [expected, &crypto](const std::string& temporary) {
    return catalogue::archiveMatches(temporary, expected, crypto);
  };
  return terms;
}

}  // namespace

void fetchAllArchives(const FetchAllCommand& command, CommandFeedback& feedback) {
  const catalogue::AddonList& list = command.list;
  const std::string folder = command.files.archiveFolder();
  if (!files::isDirectory(folder) && !files::createDirectories(folder)) {
    // Every transfer would fail to write; say why once instead.
    feedback.showStatus("無法建立壓縮檔資料夾 " + folder);
    return;
  }
  catalogue::RefusedNames refused;
  // One transfer per archive file: a later row whose name the file system takes for an earlier row's
  // is not fetched.
  const ArchiveOwners owners(list);
  SkippedNames skipped;
  // Every row names itself on the status line in turn, but the window does not repaint before the
  // loop ends, so only the last row's text is ever seen; each setting of a label is a round trip to
  // the server under Wine (three seconds for 10,000 rows), so the line is set once, as it ends up.
  int last = -1;
  const auto statusLine = [&] { return "正在下載 " + std::string(list.name(last)) + "...稍等"; };
  try {
    for (int i = 0; i < list.count(); ++i) {
      last = i;
      const std::string_view name = list.name(i);
      const std::string_view trimmed = text::trimView(name);
      // A name that would leave the archive folder, or the server's /zip/ folder, is not fetched.
      if (!catalogue::isSafeUrlName(trimmed)) {
        refused.add(name);
        continue;
      }
      if (!owners.owns(i)) {
        skipped.add(name);
        continue;
      }
      command.startTransfer({command.server.archive(trimmed), command.files.archive(trimmed),
                             archiveTerms(list.expectedArchive(i), command.crypto, command.startUpPass)});
    }
  } catch (...) {
    if (last >= 0) feedback.showStatus(statusLine());
    throw Error("更新");
  }
  if (last >= 0) feedback.showStatus(statusLine());
  if (!refused.empty()) feedback.showStatus(refused.statusText());
  if (!skipped.empty()) feedback.showStatus(skipped.noteOn(refused.statusText(), !refused.empty()));
}

std::string transferFailureText(const std::string& fileName, int32_t errorCode) {
  if (errorCode != platform::download_result::kNotAccepted) return "檢查完成";
  std::string_view name = path::fileNameOf(fileName);
  if (name.ends_with(".zip")) name.remove_suffix(4);
  return "下載的壓縮檔與目錄不符,未保留: " + std::string(name);
}

void reportArrival(const catalogue::AddonList& list, int arrived, CommandFeedback& feedback) {
  if (arrived < 0 || arrived >= list.count()) return;
  feedback.showStatus("正在下載UI" + std::string(list.subItem(arrived, catalogue::kChineseName)) + "中...");
  if (arrived == list.count() - 1) feedback.showStatus("目前已經更新到最新");
}

}  // namespace qv::install
