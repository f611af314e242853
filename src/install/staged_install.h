#pragma once
// Installing one add-on archive as a whole. The archive is unpacked into a staging folder inside the
// add-on directory (the same volume, so moving is renaming), each add-on folder it touches is readied
// there, and only when every entry came out right is the commit planned, written to a journal on
// disk, and carried out (commit_plan.h, commit_moves.h). A failed archive leaves the add-on directory
// exactly as it was: same names, same bytes. A good one leaves it as unpacking in place with "always
// overwrite" would (read-only files, which that keeps, are kept). A process that dies at any point
// leaves one or the other once the next start has recovered (install_recovery.h).
#include <string>

#include "install/install_recovery.h"
#include "install/staging_sweeper.h"
#include "platform/services.h"
#include "unzip/unzip_file.h"

namespace qv::install {

struct InstallResult {
  bool ok = false;
  int extracted = 0;      // entries the engine extracted (into staging)
  std::string failure;    // why it failed, for the status line; empty when ok
  bool untouched = true;  // false when a failed commit could not put everything back (failure says what)
};

// Installs archives one after another through one staging folder, made at the first archive and
// emptied after each (making a folder per archive costs more than the rest of a small add-on's
// install on some file systems), unless a sweeper takes it over. The folder goes with the installer.
// Before the first archive of an add-on directory, what earlier runs left there is recovered.
class StagedInstaller {
 public:
  // With a sweeper, what a finished commit moved aside is removed on the sweeper's thread and the next
  // archive gets a staging folder of its own; without one, here and now.
  StagedInstaller(const unzip::UnZipServices& services, StagingInUse& inUse,
                  StagingSweeper* sweeper = nullptr)
      : services_(services), inUse_(inUse), sweeper_(sweeper) {}
  ~StagedInstaller();
  StagedInstaller(const StagedInstaller&) = delete;
  StagedInstaller& operator=(const StagedInstaller&) = delete;

  // `addonDirectory` ends with a separator. Errors while opening the archive or reading its directory
  // leave this function as the engine raised them (nothing has been written by then); every other
  // failure is the result's: an archive that does not unpack whole, entry for entry, is not installed.
  InstallResult install(const std::string& archive, const std::string& addonDirectory);

  // What recovering the add-on directory before the first archive left unsettled (empty when all).
  const RecoveryReport& recovery() const { return recovery_; }

 private:
  void dropStaging();
  // Gives up the staging folder without emptying it: the next start recovers it.
  void abandonStaging();

  const unzip::UnZipServices& services_;
  StagingInUse& inUse_;
  StagingSweeper* sweeper_;
  std::string addonDirectory_;
  std::string staging_;
  RecoveryReport recovery_;
};

}  // namespace qv::install
