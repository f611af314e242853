#pragma once
// The install command: every checked row that reads "未安裝" and has a Chinese name is installed from its
// archive in the archive folder, each archive whole or not at all.
#include <string>

#include "catalogue/addon_list.h"
#include "common/command_feedback.h"
#include "common/program_files.h"
#include "install/install_recovery.h"
#include "install/staging_sweeper.h"
#include "platform/platform.h"

namespace qv::install {

struct InstallCommand {
  catalogue::AddonList& list;
  const ProgramFiles& files;
  // The game's add-on directory, ending with a separator.
  std::string addonDirectory;
  // Codec, file stamps and crypto for the engine and the archive checks; the dialogs for the engine's
  // error boxes; the main loop, which keeps the window painting between entries.
  platform::Platform& platform;
  StagingInUse& stagingInUse;
  StagingSweeper* sweeper = nullptr;
};

// Installs the rows and unchecks each one it takes. The bar counts the rows; it is back at 0 when this
// returns. The answer is what the status line must say once the caller's status check has run: the
// outcome of the whole run, failures and refusals named.
std::string installChecked(const InstallCommand& command, CommandFeedback& feedback);

}  // namespace qv::install
