#include "install/install_recovery.h"

#include <optional>

#include "common/file_system.h"
#include "install/commit_moves.h"
#include "install/install_journal.h"
#include "install/seamed_stamps.h"

namespace qv::install {

namespace {

// Anything but folders in old/ could only have been moved there by a commit; without a plan that says
// whose it is, it is not ours to delete.
bool oldTreeHoldsEntries(const StagingLayout& layout) {
  if (!files::exists(layout.oldTree())) return false;
  std::vector<files::TreeEntry> entries;
  if (!files::listTree(layout.oldTree(), entries)) return true;
  for (const files::TreeEntry& e : entries)
    if (e.kind != files::TreeEntry::Kind::Directory) return true;
  return false;
}

Recovered finish(const StagingLayout& layout, const Plan& plan, platform::FileStamps& stamps) {
  // Attributes not given yet keep the journal for another try.
  if (applyAttributes(layout, plan, stamps) > 0) return Recovered::Kept;
  return clearStaging(layout, false) ? Recovered::Finished : Recovered::Kept;
}

}  // namespace

Recovered recoverStaging(const StagingLayout& layout, platform::FileStamps& stamps) {
  std::string bytes;
  std::optional<JournalState> state;
  if (files::isFile(layout.journal()) && files::readFile(layout.journal(), bytes))
    state = parseJournal(bytes);
  if (!state) {
    if (oldTreeHoldsEntries(layout)) return Recovered::Kept;
    return files::removeTree(layout.folder) ? Recovered::Cleared : Recovered::Kept;
  }
  const Plan& plan = state->plan;
  if (state->committed) return finish(layout, plan, stamps);

  size_t done = stepsDone(layout, plan);
  files::AppendFile journal;
  journal.openToAppend(layout.journal());
  // Fewer steps done than marked: something else moved entries since. Going on could meet anything;
  // going back only moves what the file system shows this commit moved.
  if (!state->undo && done >= state->marked) {
    const size_t stop = doSteps(layout, plan, done, &journal);
    if (stop == plan.steps.size()) {
      journal.append(kCommittedMark);
      journal.flushToDisk();
      journal.close();
      return finish(layout, plan, stamps);
    }
    done = stop;
  }
  if (!state->undo) {
    // Should this undo be cut short too, the next start goes on undoing.
    journal.append(kUndoMark);
    journal.flushToDisk();
  }
  journal.close();
  if (undoSteps(layout, plan, done) > 0) return Recovered::Kept;
  return clearStaging(layout, false) ? Recovered::Undone : Recovered::Kept;
}

RecoveryReport recoverInterruptedInstalls(const std::string& addonDirectory,
                                          platform::FileStamps& platformStamps, const StagingInUse* inUse) {
  SeamedStamps stamps(platformStamps);
  RecoveryReport report;
  std::vector<files::TreeEntry> entries;
  if (!files::listDirectory(addonDirectory, entries)) return report;
  for (const files::TreeEntry& e : entries) {
    if (e.kind != files::TreeEntry::Kind::Directory || !isStagingName(e.relative)) continue;
    StagingLayout layout{addonDirectory, addonDirectory + e.relative};
    if (inUse && inUse->contains(layout.folder)) continue;
    switch (recoverStaging(layout, stamps)) {
      case Recovered::Cleared:
        ++report.cleared;
        break;
      case Recovered::Finished:
        ++report.finished;
        break;
      case Recovered::Undone:
        ++report.undone;
        break;
      case Recovered::Kept:
        report.kept.push_back(e.relative);
        break;
    }
  }
  return report;
}

std::string RecoveryReport::statusText() const {
  if (kept.empty()) return {};
  std::string names = kept.front();
  if (kept.size() > 1) names += " 等 " + std::to_string(kept.size()) + " 個";
  return "上次中斷的安裝無法完成或還原,檔案保留在 Interface 的 " + names + ",下次啟動時再試";
}

}  // namespace qv::install
