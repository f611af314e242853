#pragma once
// Removes what finished commits leave in their staging folders (above all the replaced files, moved
// aside into old/) on a thread of its own. Deleting a large add-on's old files can take as long as
// unpacking its new ones, and nothing needs to wait for it: the add-ons are in place, and the commit's
// journal, removed last, keeps saying what the folder is. A folder handed over stays in use (recovery
// leaves it alone) until it is gone; one the sweeper does not finish (the program ends first, a file is
// held open) is removed by the next start.
#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "install/install_recovery.h"
#include "install/staging_layout.h"

namespace qv::install {

class StagingSweeper {
 public:
  explicit StagingSweeper(StagingInUse& inUse) : inUse_(inUse) {}
  // Stops after the entry at hand; the rest is the next start's.
  ~StagingSweeper();
  StagingSweeper(const StagingSweeper&) = delete;
  StagingSweeper& operator=(const StagingSweeper&) = delete;

  // Takes over a staging folder whose commit is done (it is in `inUse` already).
  void sweep(const StagingLayout& layout);
  // Waits until every folder handed over is removed or given up.
  void finish();
  // Lets the folder at hand go after its current entry, and the rest with it. Any thread.
  void stop();

 private:
  void work();

  StagingInUse& inUse_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<StagingLayout> queue_;
  bool busy_ = false;
  std::atomic<bool> stop_{false};
  std::thread thread_;  // started with the first folder
};

}  // namespace qv::install
