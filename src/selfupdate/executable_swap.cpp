// The executable swap, 6000 ms after the new executable has arrived: the new version number is
// recorded, the running program's file makes way for the new one, and a script finishes the job once
// the program has ended.
#include "common/error.h"
#include "common/file_system.h"
#include "mainwindow/main_window.h"
#include "selfupdate/executable_image.h"
#include "selfupdate/swap_script.h"
#include "settings/private_profile.h"

namespace qv::mainwindow {

void TForm1::Timer3Timer() {
  // What arrived replaces the program only if it is a whole program for this machine. Anything else
  // (an error page, a transfer cut short) goes, and nothing is written or renamed; the next show's
  // start-up pass fetches it again.
  const std::string fresh = files_.newExecutable();
  if (selfupdate::checkProgramFile(fresh) != selfupdate::ImageVerdict::Ok) {
    Timer3->setEnabled(false);
    files::removeFile(fresh);
    Label6->setText("下載的新版本不是完整的程式,已刪除");
    return;
  }
  // The timer stays armed while the settings cannot be written, so the swap is tried again.
  try {
    settings::PrivateProfile ini(files_.config(), platform_.codec(), platform_.fileStamps());
    ini.writeInteger("updataver", "ver", serverVersion_);
  } catch (...) {
    throw Error("contact Tarvik");
  }
  Timer3->setEnabled(false);
  swapExecutable();
}

void TForm1::swapExecutable() {
  const selfupdate::SwapFiles swap{files_.newExecutable(), files_.oldExecutable(), files_.executable(),
                                   files_.swapScript()};
  try {
    // Composed first: a script that could not name the files leaves everything as it is.
    const std::string script =
        selfupdate::swapScriptBytes(selfupdate::swapScriptLines(swap, platform_.codec()), platform_.codec());
    // A running program's file can be renamed, not replaced. The copy lands whole or not at all; when
    // it fails the old file goes back, so the player is never left without a program (the script
    // would otherwise delete the old one and start nothing).
    const bool renamed = files::renameNoReplace(swap.runningExecutable, swap.oldExecutable);
    if (!renamed || !files::copyFileNoReplace(swap.newExecutable, swap.runningExecutable)) {
      if (renamed) files::renameNoReplace(swap.oldExecutable, swap.runningExecutable);
      files::removeFile(swap.newExecutable);
      Label6->setText("無法替換程式檔案,更新未完成");
      return;
    }
    if (!files::writeFileReplacing(swap.script, script))
      throw Error("the replacement script cannot be written");
  } catch (...) {
    throw Error("contact Tarvik");
  }
  exitFlag_ = true;
  form_->close();
  // Run from the program directory whatever ours is, so the script's ".\" names are the program's.
  platform_.shell().execute("\"" + swap.script + "\"", {files_.directory(), true});
}

}  // namespace qv::mainwindow
