#pragma once
// The replacement script: a command script that finishes the swap once the program has ended. It is
// written into the program directory and run with that directory as its working directory, so its
// ".\" names are the program's own files wherever the program was started from. Each loop waits a
// moment before it tries again, so a file that cannot be deleted yet does not keep a core busy.
#include <string>
#include <vector>

#include "platform/services.h"

namespace qv::selfupdate {

struct SwapFiles {
  std::string newExecutable;      // the downloaded program, "Quorvane2.exe"
  std::string oldExecutable;      // the running program's renamed file, "Quorvane.old"
  std::string runningExecutable;  // where the new program now is, "Quorvane.exe"
  std::string script;             // the script itself, "delme.bat"
};

// The script's lines, UTF-8, without line ends. Full paths name the three programs; a path whose ANSI
// bytes the console's (OEM) code page would read as another text, or that the ANSI code page cannot
// hold, is named relative to the program directory instead. Throws qv::Error when a file's own name
// cannot be written so that both code pages read it alike (the script could not name it at all).
std::vector<std::string> swapScriptLines(const SwapFiles& files, const platform::Codec& codec);

// The script file's bytes: the lines in the ANSI code page, each ended by CR LF.
std::string swapScriptBytes(const std::vector<std::string>& lines, const platform::Codec& codec);

}  // namespace qv::selfupdate
