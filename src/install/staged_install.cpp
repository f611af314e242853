#include "install/staged_install.h"

#include "common/file_system.h"
#include "common/path.h"
#include "common/scope_exit.h"
#include "install/commit_moves.h"
#include "install/commit_plan.h"
#include "install/install_journal.h"
#include "install/seamed_stamps.h"

namespace qv::install {

namespace {

// A new, empty staging folder; empty when none could be made.
std::string makeStagingFolder(const std::string& addonDirectory) {
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string candidate = addonDirectory + newStagingName();
    // Made exclusively: the folder is ours alone.
    if (files::createDirectory(candidate)) return candidate;
    if (!files::exists(candidate)) return {};
  }
  return {};
}

struct CommitOutcome {
  bool ok = false;
  bool untouched = true;
  std::string failure;
};

// Writes the plan to the journal, flushed to disk, then makes its moves, marking each. A move that
// cannot be made gives the commit up: what was moved goes back, and the outcome says whether all of
// it did.
CommitOutcome commit(const StagingLayout& layout, const Plan& plan) {
  CommitOutcome out;
  const std::string encoded = encodePlan(plan);
  if (encoded.empty() || !parseJournal(encoded)) {
    out.failure = "名稱無法記入安裝記錄";
    return out;
  }
  // Written under another name and renamed once on the disk whole: a file under the journal's name
  // always holds a plan the next start can rely on.
  const std::string draft = layout.journal() + ".draft";
  {
    files::AppendFile file;
    const bool written = file.create(draft) && file.append(encoded) && file.flushToDisk();
    if (!file.close() || !written || !files::renameNoReplace(draft, layout.journal())) {
      files::removeFile(draft);
      out.failure = "無法寫入安裝記錄";
      return out;
    }
  }
  files::AppendFile journal;
  // Flushed once more for the journal's name; the plan itself is on the disk already, so the commit
  // goes on without its marks should the journal not open.
  if (journal.openToAppend(layout.journal())) journal.flushToDisk();

  const size_t stop = doSteps(layout, plan, 0, &journal);
  if (stop == plan.steps.size()) {
    journal.append(kCommittedMark);
    journal.flushToDisk();
    out.ok = true;
    return out;
  }
  journal.append(kUndoMark);
  journal.flushToDisk();
  journal.close();
  out.failure = stepFailureText(plan.steps[stop]);
  if (const size_t stillDone = undoSteps(layout, plan, stop); stillDone > 0) {
    out.untouched = false;
    out.failure += ";未能放回原處: " + plan.steps[stillDone - 1].path;
  }
  return out;
}

}  // namespace

StagedInstaller::~StagedInstaller() {
  dropStaging();
}

void StagedInstaller::dropStaging() {
  if (staging_.empty()) return;
  // What cannot be removed now the next start removes.
  clearStaging(StagingLayout{addonDirectory_, staging_}, false);
  abandonStaging();
}

void StagedInstaller::abandonStaging() {
  inUse_.remove(staging_);
  staging_.clear();
}

InstallResult StagedInstaller::install(const std::string& archive, const std::string& addonDirectory) {
  InstallResult result;
  SeamedStamps stamps(services_.stamps);
  if (addonDirectory != addonDirectory_) {
    dropStaging();
    addonDirectory_ = addonDirectory;
    // An earlier run may have died in the middle of an install.
    recovery_ = recoverInterruptedInstalls(addonDirectory, services_.stamps, &inUse_);
  }
  // Unpacking in place would create the add-on directory; so does installing.
  if (!files::isDirectory(addonDirectory) && !files::createDirectories(addonDirectory)) {
    result.failure = "無法建立 Interface 資料夾";
    return result;
  }
  if (staging_.empty()) {
    staging_ = makeStagingFolder(addonDirectory);
    if (staging_.empty()) {
      result.failure = "無法在 Interface 資料夾內建立暫存資料夾";
      return result;
    }
    inUse_.add(staging_);
  }
  const StagingLayout layout{addonDirectory, staging_};
  // Whatever happens below, the staging folder is empty for the next archive, or given up to the next
  // start's recovery when it cannot be.
  bool keepJournal = false;  // the journal is still needed: it says what is where, or what is left to do
  bool handedOver = false;
  const ScopeExit tidy([&] {
    if (handedOver) return;
    if (keepJournal || !clearStaging(layout, true)) abandonStaging();
  });

  const unzip::UnZipServices services{services_.codec, stamps, services_.messageBox,
                                      services_.processMessages};
  unzip::UnZipReport report;
  // Left writable until they are in place: the attributes come last.
  report.holdAttributes = true;
  // Opening the archive and reading its directory raise, as the engine does for the install command.
  if (!unzip::UnZipFile(archive, layout.newTree(), services, &result.extracted, &report)) {
    result.failure = "壓縮檔損壞或不完整 (" + report.failure + ")";
    return result;
  }
  // An entry the engine passed over (bad data, a name that would leave the folder) would leave half
  // an add-on: the archive is not installed at all.
  if (!report.notExtracted.empty()) {
    result.failure = "壓縮檔有 " + std::to_string(report.notExtracted.size()) + " 個項目無法解開 (" +
                     report.notExtracted.front() + ")";
    return result;
  }
  if (!files::isDirectory(layout.newTree())) {  // an archive without entries
    result.ok = true;
    return result;
  }
  const PlannedCommit planned = planCommit(layout, report.held, stamps);
  if (!planned.failure.empty()) {
    result.failure = planned.failure;
    return result;
  }
  if (planned.plan.steps.empty()) {
    result.ok = true;
    return result;
  }
  const CommitOutcome outcome = commit(layout, planned.plan);
  if (!outcome.ok) {
    result.failure = outcome.failure;
    result.untouched = outcome.untouched;
    keepJournal = !outcome.untouched;
    return result;
  }
  // The files are in place. Attributes that did not take are given at the next start, which finds
  // the journal (marked committed) kept for that.
  if (applyAttributes(layout, planned.plan, stamps) > 0) {
    keepJournal = true;
  } else if (sweeper_) {
    // In use until the sweeper is done with it.
    sweeper_->sweep(layout);
    staging_.clear();
    handedOver = true;
  }
  result.ok = true;
  return result;
}

}  // namespace qv::install
