#pragma once
// Installing one add-on archive as a whole. The archive is unpacked into a staging folder inside the
// add-on directory (the same volume, so moving is renaming), and only when every entry came out right
// are its files moved into place, each replaced file kept aside until all are in. A failed archive
// therefore leaves the add-on directory exactly as it was: same names, same bytes. A good one leaves it
// as unpacking in place with "always overwrite" would (read-only files, which that keeps, are kept).
#include <string>

#include "platform/services.h"
#include "unzip/unzip_file.h"

namespace qv::install {

struct InstallResult {
  bool ok = false;
  int extracted = 0;     // entries the engine extracted (into staging)
  std::string failure;   // why it failed, for the status line; empty when ok
};

// Installs archives one after another through one staging folder, made at the first archive and
// emptied after each (making a folder per archive costs more than the rest of a small add-on's
// install on some file systems). The folder goes with the installer.
class StagedInstaller {
 public:
  explicit StagedInstaller(const unzip::UnZipServices& services) : services_(services) {}
  ~StagedInstaller();
  StagedInstaller(const StagedInstaller&) = delete;
  StagedInstaller& operator=(const StagedInstaller&) = delete;

  // `addonDirectory` ends with a separator. Errors while opening the archive or reading its directory
  // leave this function as the engine raised them (nothing has been written by then); every other
  // failure is the result's: an archive that does not unpack whole, entry for entry, is not installed.
  InstallResult install(const std::string& archive, const std::string& addonDirectory);

 private:
  void dropStaging();

  const unzip::UnZipServices& services_;
  std::string addonDirectory_;
  std::string staging_;
};

// Removes staging folders an interrupted earlier run left in the add-on directory.
void removeStaleStaging(const std::string& addonDirectory);

// True for the name of a staging folder (never a name the catalogue can own for long: it is removed).
bool isStagingName(std::string_view name);

}  // namespace qv::install
