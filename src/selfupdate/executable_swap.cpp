// The executable swap, 6000 ms after the new executable has arrived: the download must be what the
// publisher signed, the new version number is recorded, the new program takes the running one's place,
// and a script finishes the job once the program has ended.
#include "common/error.h"
#include "common/file_system.h"
#include "common/scope_exit.h"
#include "mainwindow/main_window.h"
#include "platform/error_boundary.h"
#include "selfupdate/downloaded_program.h"
#include "selfupdate/program_replacement.h"
#include "selfupdate/swap_script.h"
#include "selfupdate/update_texts.h"
#include "settings/private_profile.h"

namespace qv::mainwindow {

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
    Label6->setText(program.verdict == selfupdate::DownloadVerdict::NotAProgram
                        ? selfupdate::kDownloadNotAProgram
                        : selfupdate::kDownloadNotAsSigned);
    return;
  }
  // The timer stays armed while the settings cannot be written, so the swap is tried again.
  try {
    settings::PrivateProfile ini(files_.config(), platform_.codec(), platform_.fileStamps());
    // The number the signature covers, which is the version file's as the last check read it.
    ini.writeInteger(selfupdate::kVersionSection, "ver", program.release.version);
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
  const selfupdate::SwapFiles swap{files_.newExecutable(), files_.oldExecutable(), files_.executable(),
                                   files_.swapScript()};
  // A script that cannot be composed or written, and any error on the way, reach the player as the
  // one text below.
  bool scriptWritten = false;
  try {
    // Composed first: a script that could not name the files leaves the program files as they are.
    const std::string script =
        selfupdate::swapScriptBytes(selfupdate::swapScriptLines(swap, platform_.codec()), platform_.codec());
    // A running program's file can be renamed, not replaced. When the new one cannot take its place the
    // old one is back under its name, so the player is never left without a program (the script would
    // otherwise delete the old one and start nothing).
    if (!selfupdate::replaceRunningProgram(swap, program, platform_.fileStamps())) {
      files::removeFile(swap.newExecutable);
      Label6->setText(selfupdate::kSwapFailed);
      return;
    }
    scriptWritten = files::writeFileReplacing(swap.script, script);
  } catch (...) {
    scriptWritten = false;
  }
  if (!scriptWritten) throw Error("contact Tarvik");
  exitFlag_ = true;
  form_->close();
  // Run from the program directory whatever ours is, so the script's ".\" names are the program's.
  platform_.shell().execute("\"" + swap.script + "\"", {files_.directory(), true});
}

}  // namespace qv::mainwindow
