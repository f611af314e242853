#pragma once
// The executable swap, once the new program has arrived: the download must be what the publisher
// signed, the new version number is recorded, the new program takes the running one's place, and a
// script finishes the job once the program has ended.
#include <cstdint>
#include <string>

#include "common/program_files.h"
#include "platform/services.h"
#include "selfupdate/downloaded_program.h"

namespace qv::selfupdate {

// What the status line says about a download the gates refused.
const char* refusalText(DownloadVerdict verdict);

// Records `version` as installed in the settings file; throws when the file cannot be written (the
// swap must then not go on, or the next start would fetch the same release again after a swap).
void recordInstalledVersion(const std::string& settingsFile, int32_t version, const platform::Codec& codec,
                            const platform::FileStamps& stamps);

enum class SwapReadiness {
  Ready,        // the new program is in place and the script written: end the program and run it
  ProgramKept,  // the new program could not take the running one's place; the old one stays, the new one goes
};

// Puts `program` (the checked bytes) in the running program's place and writes the script that ends
// the swap. A script that cannot be composed or written, and any error on the way, leave as
// Error("contact Tarvik").
SwapReadiness prepareSwap(const ProgramFiles& files, const std::string& program, const platform::Codec& codec,
                          platform::FileStamps& stamps);

// The command that runs the script; run it from the program directory, so its ".\" names are the
// program's whatever the current directory is.
std::string swapScriptCommand(const ProgramFiles& files);

}  // namespace qv::selfupdate
