// The main window's part in the self-update: the start-up pass's version check starts the program's
// transfer, its completion arms Timer3, and Timer3 runs the swap. The rules are the selfupdate
// subsystem's; here the window supplies its timer, status line and error box, and ends itself.
#include "common/error.h"
#include "common/file_system.h"
#include "common/scope_exit.h"
#include "mainwindow/main_window.h"
#include "platform/error_boundary.h"
#include "selfupdate/executable_swap.h"
#include "selfupdate/update_texts.h"
#include "selfupdate/version_check.h"

namespace qv::mainwindow {

void TForm1::checkVersion() {
  const selfupdate::VersionCheck check =
      selfupdate::checkVersionFile(files_.localVersion(), installedVersion_, updateKey_, platform_.codec(),
                                   platform_.fileStamps(), platform_.crypto());
  if (check.offer == selfupdate::VersionCheck::Offer::NoFile) return;
  serverVersion_ = check.serverVersion;
  // What an earlier check found signed is no longer the server's word, and a download it started
  // that arrives now is not taken.
  awaitedRelease_ = check.release;
  if (check.offer == selfupdate::VersionCheck::Offer::Unsigned) Label6->setText(selfupdate::kUpdateRefused);
  if (!awaitedRelease_) return;
  try {
    startDownload({server_.newExecutable(), files_.newExecutable(), {selfupdate::programBounds(*awaitedRelease_), {}}},
                  [this](download::TFileDownLoadThread& sender) { SelfUpdateComplete(sender); });
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

void TForm1::Timer3Timer() {
  // The timer goes on ticking inside the box below; the retry waits until the player has closed it.
  if (swapErrorOpen_) return;
  // What arrived replaces the program only if it is exactly what was signed, and a whole program for
  // this machine. Anything else goes, and nothing is written or renamed; the next show's start-up pass
  // fetches it again.
  const std::string fresh = files_.newExecutable();
  const selfupdate::DownloadedProgram program =
      selfupdate::checkDownloadedProgram(fresh, awaitedRelease_, platform_.crypto());
  if (program.verdict != selfupdate::DownloadVerdict::Ok) {
    Timer3->setEnabled(false);
    files::removeFile(fresh);
    Label6->setText(selfupdate::refusalText(program.verdict));
    return;
  }
  // The timer stays armed while the settings cannot be written, so the swap is tried again.
  try {
    // The number the signature covers, which is the version file's as the last check read it.
    selfupdate::recordInstalledVersion(files_.config(), program.release.version, platform_.codec(),
                                       platform_.fileStamps());
  } catch (...) {
    swapErrorOpen_ = true;
    const ScopeExit closed([this] { swapErrorOpen_ = false; });
    platform::showStandardError(platform_.dialogs(), "contact Tarvik");
    return;
  }
  Timer3->setEnabled(false);
  swapExecutable(program.bytes);
}

void TForm1::swapExecutable(const std::string& program) {
  if (selfupdate::prepareSwap(files_, program, platform_.codec(), platform_.fileStamps()) ==
      selfupdate::SwapReadiness::ProgramKept) {
    Label6->setText(selfupdate::kSwapFailed);
    return;
  }
  exitFlag_ = true;
  form_->close();
  platform_.shell().execute(selfupdate::swapScriptCommand(files_), {files_.directory(), true});
}

}  // namespace qv::mainwindow
