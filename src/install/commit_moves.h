#pragma once
// Carrying out a commit plan, and judging from the file system how far one got. Every move is a
// rename that never replaces anything, so no step can destroy a file, and each step leaves a mark
// on the disk by which it can be told done: an entry moved aside is in old/, an entry moved in or
// carried has left new/ (or old/) and stands in the add-on directory. Steps are done in order, so
// the steps done are always the plan's first ones.
#include <atomic>
#include <string>

#include "common/file_system.h"
#include "install/install_journal.h"
#include "install/staging_layout.h"
#include "platform/services.h"

namespace qv::install {

struct Move {
  std::string from, to;
};
// The rename that does the step.
Move forwardMove(const StagingLayout& layout, const Step& step);

// How many of the plan's first steps the file system shows done.
size_t stepsDone(const StagingLayout& layout, const Plan& plan);

// Does steps [first, end); the index of the step that could not be done, or the plan's size.
size_t doSteps(const StagingLayout& layout, const Plan& plan, size_t first, files::AppendFile* journal);

// Undoes steps [0, done), last first, each move renamed back, and stops at a move that cannot be put
// back, so that the steps still done are again the plan's first ones (the next start goes on from
// there). Returns how many are still done: 0 when the add-on directory is again as it was.
size_t undoSteps(const StagingLayout& layout, const Plan& plan, size_t done);

// Gives the placed files the attributes their entries carry; how many of those still there could not
// be given.
int applyAttributes(const StagingLayout& layout, const Plan& plan, platform::FileStamps& stamps);

// Removes what the staging folder holds: old/ and new/ first, the journal only once they are gone
// (while anything moved aside might still be in old/, the journal stays to say what it is), and the
// folder itself unless `keepFolder`. With `stop`, it looks at it before each entry and, once set, leaves
// the rest. False when anything stayed.
bool clearStaging(const StagingLayout& layout, bool keepFolder, const std::atomic<bool>* stop = nullptr);

// What a step that could not be done means to the player.
std::string stepFailureText(const Step& step);

}  // namespace qv::install
