#include "install/commit_moves.h"

#include <vector>

#include "common/path.h"

namespace qv::install {

Move forwardMove(const StagingLayout& layout, const Step& step) {
  switch (step.kind) {
    case Step::Kind::Aside:
      return {layout.live(step.path), layout.aside(step.path)};
    case Step::Kind::In:
      return {layout.staged(step.path), layout.live(step.path)};
    case Step::Kind::Carry:
      return {layout.aside(step.path), layout.live(step.path)};
  }
  return {};
}

namespace {

// Whether the step is done, judged for a step whose predecessors are all done. old/'s entries appear
// only by being moved aside; new/'s and carried ones leave their place only by being moved in.
bool looksDone(const StagingLayout& layout, const Step& step) {
  const Move move = forwardMove(layout, step);
  if (step.kind == Step::Kind::Aside) return files::exists(move.to);
  return !files::exists(move.from) && files::exists(move.to);
}

}  // namespace

size_t stepsDone(const StagingLayout& layout, const Plan& plan) {
  size_t done = 0;
  while (done < plan.steps.size() && looksDone(layout, plan.steps[done])) ++done;
  return done;
}

size_t doSteps(const StagingLayout& layout, const Plan& plan, size_t first, files::AppendFile* journal) {
  for (size_t i = first; i < plan.steps.size(); ++i) {
    const Move move = forwardMove(layout, plan.steps[i]);
    if (!files::renameNoReplace(move.from, move.to)) return i;
    // The mark is a record for the next start; the file system itself says the same, so a mark that
    // cannot be written costs nothing here.
    if (journal) journal->append(doneMark(i));
  }
  return plan.steps.size();
}

size_t undoSteps(const StagingLayout& layout, const Plan& plan, size_t done) {
  for (; done > 0; --done) {
    const Move move = forwardMove(layout, plan.steps[done - 1]);
    // Not back: the entry stays whole where the step put it (in old/, or in the add-on directory).
    if (!files::renameNoReplace(move.to, move.from)) break;
  }
  return done;
}

int applyAttributes(const StagingLayout& layout, const Plan& plan, platform::FileStamps& stamps) {
  int failed = 0;
  for (const AttributesAfter& a : plan.attributes) {
    const std::string live = layout.live(a.path);
    // A file the player has removed since needs no attributes.
    if (!stamps.setAttributes(files::serviceName(live), a.attributes) && files::isFile(live)) ++failed;
  }
  return failed;
}

namespace {

// The tree's entries one by one, deepest first, looking at `stop` before each.
bool removeTreeUnlessStopped(const std::string& tree, const std::atomic<bool>& stop) {
  std::vector<files::TreeEntry> entries;
  if (!files::listTree(tree, entries)) return files::removeTree(tree);
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (stop) return false;
    const std::string entry = tree + path::kSep + it->relative;
    const bool removed = it->kind == files::TreeEntry::Kind::Directory ? files::removeEmptyDirectory(entry)
                         : it->kind == files::TreeEntry::Kind::File    ? files::removeFile(entry)
                                                                       : false;
    // A link, or a file Windows will not delete while it is read-only: the file layer's own removal.
    if (!removed && !files::removeTree(entry)) return false;
  }
  return files::removeEmptyDirectory(tree);
}

}  // namespace

bool clearStaging(const StagingLayout& layout, bool keepFolder, const std::atomic<bool>* stop) {
  bool gone = true;
  for (const std::string& tree : {layout.oldTree(), layout.newTree()}) {
    if (!files::exists(tree)) continue;
    if (!(stop ? removeTreeUnlessStopped(tree, *stop) : files::removeTree(tree))) gone = false;
  }
  if (!gone) return false;
  if (files::exists(layout.journal()) && !files::removeFile(layout.journal())) return false;
  return keepFolder || files::removeTree(layout.folder);
}

std::string stepFailureText(const Step& step) {
  switch (step.kind) {
    case Step::Kind::Aside:
      return "檔案使用中,無法取代: " + step.path;
    case Step::Kind::In:
      return "無法寫入: " + step.path;
    case Step::Kind::Carry:
      return "無法移回原有檔案: " + step.path;
  }
  return {};
}

}  // namespace qv::install
