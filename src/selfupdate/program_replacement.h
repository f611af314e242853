#pragma once
// Puts the new program where the running one is, so that the player is never left without a program
// for longer than two renames: the new bytes are written whole beside the target first, then the
// running program's file is renamed away and the new file renamed into its place. On any failure the
// running program's file is back under its name, as it was.
#include <functional>
#include <string>
#include <string_view>

#include "common/program_files.h"
#include "platform/services.h"
#include "selfupdate/swap_script.h"

namespace qv::selfupdate {

// The tag of the temporary the new program is written into (a leftover of a killed swap carries it).
inline constexpr char kStagedProgramTag[] = ".update";

// The file operations the replacement makes, one by one, so that a test can fail any of them.
struct ReplacementSteps {
  // Writes `bytes` into a fresh temporary beside `target`; its path, or empty.
  std::function<std::string(std::string_view target, std::string_view bytes)> writeBeside;
  // Renames without replacing anything.
  std::function<bool(std::string_view from, std::string_view to)> rename;
  std::function<bool(std::string_view path)> remove;
  // The file layer's own calls.
  static ReplacementSteps real();
};

// True when files.runningExecutable holds `program` and files.oldExecutable the old program. A
// read-only running program loses the attribute before it is renamed, so that the replacement script
// can delete it afterwards (the attribute comes back when the replacement fails).
bool replaceRunningProgram(const SwapFiles& files, std::string_view program, platform::FileStamps& stamps,
                           const ReplacementSteps& steps = ReplacementSteps::real());

// Deletes a file an earlier swap left behind, a read-only one too. True when it is gone.
bool removeSwapLeftover(const std::string& path, platform::FileStamps& stamps,
                        const ReplacementSteps& steps = ReplacementSteps::real());
// The show step's clean-up: the old program, the script, and a new program a killed swap left staged.
void tidyAfterSwap(const ProgramFiles& files, platform::FileStamps& stamps);

}  // namespace qv::selfupdate
