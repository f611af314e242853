#pragma once
// Whether a file is a whole Windows program for the machines the program runs on: an x86-64 GUI
// executable whose headers and every section lie inside the file. A server that answers the
// executable's address with an error page, or a transfer cut short, gives something else, and that
// must never replace the running program.
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::selfupdate {

enum class ImageVerdict {
  Ok,
  NotAnExecutable,  // no MZ header, no PE signature, or a DLL / object file
  WrongMachine,     // not x86-64 (PE32+)
  NotAGuiProgram,   // a console program, a driver or another subsystem
  Truncated,        // headers, a section, the symbol table or the signature reach past the end
  Unloadable,       // headers the system's loader refuses: the entry point outside the image, an image
                    // smaller than its headers, an alignment that is no power of two in the loader's range
  TooLarge,         // larger than any build of the program could be
};

// The largest file taken for an executable; anything larger is not read at all.
inline constexpr int64_t kMaxImageBytes = 64ll * 1024 * 1024;

// Checks the bytes of an executable file.
ImageVerdict checkProgramImage(std::string_view bytes);
// Checks a file on disk (a missing or unreadable file is NotAnExecutable).
ImageVerdict checkProgramFile(const std::string& path);

}  // namespace qv::selfupdate
