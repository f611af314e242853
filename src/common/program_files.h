#pragma once
// The files the program keeps beside its own executable, named once. The composition root makes the
// value from the running executable's path; every form and command asks it instead of building names.
#include <string>
#include <string_view>

#include "common/path.h"

namespace qv {

class ProgramFiles {
 public:
  static constexpr char kArchiveFolderName[] = "zip";

  ProgramFiles() = default;
  // `executablePath` is the full path of the running executable.
  explicit ProgramFiles(std::string executablePath)
      : executable_(std::move(executablePath)), directory_(path::directoryWithSeparator(executable_)) {}

  // The running executable and its directory (with its trailing separator).
  const std::string& executable() const { return executable_; }
  const std::string& directory() const { return directory_; }

  std::string config() const { return directory_ + "Config.ini"; }
  std::string localVersion() const { return directory_ + "UPdate.ini"; }
  // The archive folder "zip", without a trailing separator.
  std::string archiveFolder() const { return directory_ + kArchiveFolderName; }
  // An add-on's archive: the (trimmed) name followed by ".zip" in the archive folder.
  std::string archive(std::string_view trimmedName) const {
    // Made in one allocation: the download-all road asks for one per row.
    std::string file;
    file.reserve(directory_.size() + sizeof kArchiveFolderName + trimmedName.size() + 4);
    return file.append(directory_)
        .append(kArchiveFolderName)
        .append(1, path::kSep)
        .append(trimmedName)
        .append(".zip");
  }
  std::string newExecutable() const { return directory_ + "Quorvane2.exe"; }
  // What an earlier self-update leaves behind.
  std::string oldExecutableLeftover() const { return directory_ + "Quorvane.old"; }
  std::string swapScript() const { return directory_ + "delme.bat"; }
  // The running executable's path with its extension replaced by ".old".
  std::string oldExecutable() const { return path::withExtension(executable_, ".old"); }

 private:
  std::string executable_;
  std::string directory_;
};

}  // namespace qv
