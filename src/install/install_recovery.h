#pragma once
// What the next start does with the staging folders of installs the process did not live to end. A
// folder whose journal holds a whole plan is finished (its moves done, its attributes given, the old
// trees removed) or, where a move cannot be done, undone move by move: either way every add-on is
// whole again, as before that install or as after it. A folder without a whole plan belonged to an
// install that had not begun to move anything; it is removed. Nothing outside a staging folder is
// ever deleted, and the journal only ever names moves between a staging folder and the add-on
// directory, so a damaged one cannot reach further.
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "install/staging_layout.h"
#include "platform/services.h"

namespace qv::install {

// The staging folders this process is working in, which recovery leaves alone: the unzip engine
// pumps the window's messages while it unpacks, so a show step or another install can run in the
// middle of an install, and the sweeper removes finished ones on a thread of its own. Any thread.
class StagingInUse {
 public:
  void add(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folders_.insert(folder);
  }
  void remove(const std::string& folder) {
    std::lock_guard lock(mutex_);
    folders_.erase(folder);
  }
  bool contains(const std::string& folder) const {
    std::lock_guard lock(mutex_);
    return folders_.contains(folder);
  }

 private:
  mutable std::mutex mutex_;
  std::set<std::string> folders_;
};

enum class Recovered {
  Cleared,   // no plan: the folder is gone, the add-on directory was never touched
  Finished,  // the commit is done
  Undone,    // the commit is undone
  Kept,      // something could not be moved or removed; the folder stays for the next start
};

Recovered recoverStaging(const StagingLayout& layout, platform::FileStamps& stamps);

struct RecoveryReport {
  int cleared = 0;
  int finished = 0;
  int undone = 0;
  std::vector<std::string> kept;  // names of the staging folders that stay
  // What the status line says; empty when everything was settled.
  std::string statusText() const;
};

// Every staging folder directly in the add-on directory (links of such a name are left alone, never
// followed), except those in use.
RecoveryReport recoverInterruptedInstalls(const std::string& addonDirectory, platform::FileStamps& stamps,
                                          const StagingInUse* inUse = nullptr);

}  // namespace qv::install
