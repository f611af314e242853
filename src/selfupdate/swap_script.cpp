#include "selfupdate/swap_script.h"

#include "common/error.h"
#include "common/path.h"

namespace qv::selfupdate {

namespace {

bool survivesCodePage(const std::string& text, const platform::Codec& codec) {
  return codec.fromAnsi(codec.toAnsi(text)) == text;
}

// The command interpreter expands %...% even inside quotes; a doubled % stands for itself.
std::string withPercentDoubled(const std::string& text) {
  std::string out;
  for (char c : text) {
    out += c;
    if (c == '%') out += '%';
  }
  return out;
}

// A name in the working directory (".\name"), quoted when it holds a blank or a character the
// interpreter would take for an operator.
std::string localName(const std::string& fullPath, const platform::Codec& codec) {
  const std::string name(path::fileNameOf(fullPath));
  if (!survivesCodePage(name, codec))
    throw Error("the update cannot name " + name + " in the system's code page");
  const std::string word = ".\\" + withPercentDoubled(name);
  const bool plain = name.find_first_of(" \t&()[]{}^=;!'+,`~<>|\"") == std::string::npos;
  return plain ? word : "\"" + word + "\"";
}

// A program by its full path, or by its name in the working directory when the code page cannot hold
// the path (a folder named in another script).
std::string quotedFile(const std::string& fullPath, const platform::Codec& codec) {
  if (!survivesCodePage(fullPath, codec)) {
    const std::string local = localName(fullPath, codec);
    return local.front() == '"' ? local : "\"" + local + "\"";
  }
  return "\"" + withPercentDoubled(fullPath) + "\"";
}

}  // namespace

std::vector<std::string> swapScriptLines(const SwapFiles& files, const platform::Codec& codec) {
  return {
      "@echo off",
      ":loop",
      // Deleted, then looked for again: the download goes first.
      "del " + quotedFile(files.newExecutable, codec),
      "if exist " + localName(files.newExecutable, codec) + " goto wait",
      // The old program's file can go only once its process has ended and let go of it.
      "del " + quotedFile(files.oldExecutable, codec),
      "if exist " + localName(files.oldExecutable, codec) + " goto wait",
      // Started, not waited for: the script ends at once, so nothing holds it open and the new
      // program's show step can tidy it away.
      "start \"\" " + quotedFile(files.runningExecutable, codec),
      "del " + localName(files.script, codec),
      "exit /b",
      ":wait",
      "ping -n 2 127.0.0.1 >nul",
      "goto loop",
  };
}

std::string swapScriptBytes(const std::vector<std::string>& lines, const platform::Codec& codec) {
  std::string bytes;
  for (const std::string& line : lines) bytes += codec.toAnsi(line) + "\r\n";
  return bytes;
}

}  // namespace qv::selfupdate
