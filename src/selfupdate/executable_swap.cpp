#include "selfupdate/executable_swap.h"

#include "common/error.h"
#include "common/file_system.h"
#include "selfupdate/program_replacement.h"
#include "selfupdate/swap_script.h"
#include "selfupdate/update_texts.h"
#include "settings/private_profile.h"

namespace qv::selfupdate {

namespace {

SwapFiles swapFilesOf(const ProgramFiles& files) {
  return {files.newExecutable(), files.oldExecutable(), files.executable(), files.swapScript()};
}

}  // namespace

const char* refusalText(DownloadVerdict verdict) {
  return verdict == DownloadVerdict::NotAProgram ? kDownloadNotAProgram : kDownloadNotAsSigned;
}

void recordInstalledVersion(const std::string& settingsFile, int32_t version, const platform::Codec& codec,
                            const platform::FileStamps& stamps) {
  settings::PrivateProfile ini(settingsFile, codec, stamps);
  ini.writeInteger(kVersionSection, "ver", version);
}

SwapReadiness prepareSwap(const ProgramFiles& files, const std::string& program, const platform::Codec& codec,
                          platform::FileStamps& stamps) {
  const SwapFiles swap = swapFilesOf(files);
  bool scriptWritten = false;
  try {
    // Composed first: a script that could not name the files leaves the program files as they are.
    const std::string script = swapScriptBytes(swapScriptLines(swap, codec), codec);
    // A running program's file can be renamed, not replaced. When the new one cannot take its place the
    // old one is back under its name, so the player is never left without a program (the script would
    // otherwise delete the old one and start nothing).
    if (!replaceRunningProgram(swap, program, stamps)) {
      files::removeFile(swap.newExecutable);
      return SwapReadiness::ProgramKept;
    }
    scriptWritten = files::writeFileReplacing(swap.script, script);
  } catch (...) {
    scriptWritten = false;
  }
  if (!scriptWritten) throw Error("contact Tarvik");
  return SwapReadiness::Ready;
}

std::string swapScriptCommand(const ProgramFiles& files) { return "\"" + files.swapScript() + "\""; }

}  // namespace qv::selfupdate
