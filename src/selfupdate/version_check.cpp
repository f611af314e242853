// The version check of the start-up pass and the completion of the new executable's download.
#include <algorithm>

#include "common/error.h"
#include "common/file_system.h"
#include "mainwindow/main_window.h"
#include "selfupdate/executable_image.h"
#include "selfupdate/update_texts.h"
#include "settings/private_profile.h"

// A program file the image check would take must not be cut off by the transfer's cap.
static_assert(qv::platform::resource_bounds::kProgram.maxBytes >=
              static_cast<uint64_t>(qv::selfupdate::kMaxImageBytes));

namespace qv::mainwindow {

void TForm1::checkVersion() {
  // No file: not downloaded yet, or the download failed. Nothing to say.
  const std::string local = files_.localVersion();
  if (!files::isFile(local)) return;
  const settings::PrivateProfile versionFile(local, platform_.codec(), platform_.fileStamps());
  serverVersion_ = versionFile.readInteger(selfupdate::kVersionSection, "ver", 0);
  // What an earlier check found signed is no longer the server's word, and a download it started
  // that arrives now is not taken.
  awaitedRelease_.reset();
  // Any difference counts, a lower number too: the server may take a release back.
  if (serverVersion_ == installedVersion_) return;
  // Only what the publisher signed for this very number is fetched; anything else from the network
  // (an unsigned file, a signature for another number or by another key) is no update at all.
  const selfupdate::ReleaseFields fields{
      versionFile.readString(selfupdate::kVersionSection, selfupdate::kSizeKey, ""),
      versionFile.readString(selfupdate::kVersionSection, selfupdate::kDigestKey, ""),
      versionFile.readString(selfupdate::kVersionSection, selfupdate::kSignatureKey, "")};
  awaitedRelease_ = selfupdate::verifiedRelease(serverVersion_, fields, updateKey_, platform_.crypto());
  if (!awaitedRelease_) {
    Label6->setText(selfupdate::kUpdateRefused);
    return;
  }
  // The signature names the program's size: a body longer than that is not the signed program.
  platform::TransferBounds bounds = platform::resource_bounds::kProgram;
  bounds.maxBytes = std::min<uint64_t>(bounds.maxBytes, awaitedRelease_->size);
  try {
    workers_->start(
        {server_.newExecutable(), files_.newExecutable(), {bounds, {}}},
        [this](download::TFileDownLoadThread&, uint32_t progress, uint32_t progressMax) {
          DownLoadProgress(progress, progressMax);
        },
        [this](download::TFileDownLoadThread& sender) { SelfUpdateComplete(sender); },
        [this](download::TFileDownLoadThread& sender, int32_t code) { DownLoadError(sender, code); });
  } catch (...) {
    throw Error("更新");
  }
}

void TForm1::SelfUpdateComplete(download::TFileDownLoadThread& /*Sender*/) {
  // Runs on the worker's thread; the timer is the main thread's.
  postToWindow([this] {
    Timer3->setInterval(6000);
    Timer3->setEnabled(true);
  });
}

}  // namespace qv::mainwindow
