#include "selfupdate/swap_script.h"

#include "common/error.h"
#include "common/path.h"

namespace qv::selfupdate {

namespace {

// The file is written in the ANSI code page, but the command interpreter reads a script in the
// console's (OEM) one. Where the two differ (Western Europe: 1252 and 850) the bytes of "é" name
// another file, the delete loop never ends and the new program never starts. A text goes into the
// script as it stands only when its bytes mean the same in both.
bool survivesCodePage(const std::string& text, const platform::Codec& codec) {
  const std::string bytes = codec.toAnsi(text);
  return codec.fromAnsi(bytes) == text && codec.fromOem(bytes) == text;
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
    throw Error("the update cannot name " + name + " in the system's code pages");
  const std::string word = ".\\" + withPercentDoubled(name);
  const bool plain = name.find_first_of(" \t&()[]{}^=;!'+,`~<>|\"") == std::string::npos;
  return plain ? word : "\"" + word + "\"";
}

// A program by its full path, or by its name in the working directory when the path does not read the
// same in both code pages (a folder named in another script, or a letter the two pages place apart).
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
