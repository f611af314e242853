// The download-all road of the main window (the hidden button "down") and the two download handlers
// it gives every worker: one transfer per list row into the archive folder, then the status check.
#include <algorithm>

#include "catalogue/addon_names.h"
#include "catalogue/archive_check.h"
#include "common/error.h"
#include "common/file_system.h"
#include "common/path.h"
#include "common/text.h"
#include "install/archive_owners.h"
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

namespace {

// An archive the catalogue describes replaces the one in the archive folder only when it is the one
// described (a cut transfer or a mixed-up file stays out, and the previous archive stays); the size
// it names also caps the transfer.
platform::DownloadTerms archiveTerms(const catalogue::ArchiveExpectation& expected, const platform::Crypto& crypto,
                                     uint64_t startUpPass) {
  platform::DownloadTerms terms{platform::resource_bounds::kArchive, {}, {true, startUpPass}};
  if (!expected.any()) return terms;
  if (expected.size) terms.bounds.maxBytes = std::min(terms.bounds.maxBytes, *expected.size);
  // The platform's services live as long as the program, longer than any transfer.
  terms.accept = [expected, &crypto](const std::string& temporary) {
    return catalogue::archiveMatches(temporary, expected, crypto);
  };
  return terms;
}

}  // namespace

void TForm1::startDownload(platform::DownloadRequest request) {
  workers_->start(
      std::move(request),
      [this](download::TFileDownLoadThread&, uint32_t progress, uint32_t progressMax) {
        DownLoadProgress(progress, progressMax);
      },
      [this](download::TFileDownLoadThread& sender) { DownLoadComplete(sender); },
      [this](download::TFileDownLoadThread& sender, int32_t code) { DownLoadError(sender, code); });
}

void TForm1::Button4Click() {
  const std::string folder = files_.archiveFolder();
  if (!files::isDirectory(folder) && !files::createDirectories(folder)) {
    // Every transfer would fail to write; say why once instead.
    Label6->setText("無法建立壓縮檔資料夾 " + folder);
  } else {
    catalogue::RefusedNames refused;
    // One transfer per archive file: a later row whose name the file system takes for an earlier
    // row's is not fetched.
    const install::ArchiveOwners owners(*list_);
    install::SkippedNames skipped;
    // Every row names itself on the status line in turn, but the window does not repaint before the
    // loop ends, so only the last row's text is ever seen; each setting of a label is a round trip to
    // the server under Wine (three seconds for 10,000 rows), so the line is set once, as it ends up.
    int last = -1;
    const auto statusLine = [&] { return "正在下載 " + std::string(list_->name(last)) + "...稍等"; };
    // The transfers begin once the window has shown the refreshed list and its counters.
    const download::DownloadWorkers::Batch transfers(*workers_);
    try {
      for (int i = 0; i < list_->count(); ++i) {
        last = i;
        const std::string_view name = list_->name(i);
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
        startDownload({server_.archive(trimmed), files_.archive(trimmed),
                       archiveTerms(list_->expectedArchive(i), platform_.crypto(), startUpPass_)});
      }
    } catch (...) {
      if (last >= 0) Label6->setText(statusLine());
      throw Error("更新");
    }
    if (last >= 0) Label6->setText(statusLine());
    if (!refused.empty()) Label6->setText(refused.statusText());
    if (!skipped.empty()) Label6->setText(skipped.noteOn(refused.statusText(), !refused.empty()));
  }
  BitBtn4Click();
}

void TForm1::DownLoadComplete(download::TFileDownLoadThread& /*Sender*/) {
  // Runs on the worker's thread: the count and the window are the main thread's.
  postToWindow([this] {
    ++DownLoadedCount;
    const int r = DownLoadedCount;
    if (r < 0 || r >= list_->count()) return;
    // The row whose index equals the count, not the row whose archive has just arrived.
    Label6->setText("正在下載UI" + std::string(list_->subItem(r, catalogue::kChineseName)) + "中...");
    if (r == list_->count() - 1) Label6->setText("目前已經更新到最新");
  });
}

void TForm1::DownLoadError(download::TFileDownLoadThread& Sender, int32_t ErrorCode) {
  // An archive the catalogue's digest refused names its add-on; every other failure reads as always.
  std::string text = "檢查完成";
  if (ErrorCode == platform::download_result::kNotAccepted) {
    std::string_view name = path::fileNameOf(Sender.fileName());
    if (name.ends_with(".zip")) name.remove_suffix(4);
    text = "下載的壓縮檔與目錄不符,未保留: " + std::string(name);
  }
  postToWindow([this, text = std::move(text)] { Label6->setText(text); });
}

}  // namespace qv::mainwindow
