#include "selfupdate/program_replacement.h"

#include "common/file_system.h"

namespace qv::selfupdate {

ReplacementSteps ReplacementSteps::real() {
  return {[](std::string_view target, std::string_view bytes) {
            return files::writeSiblingTemp(target, kStagedProgramTag, bytes);
          },
          [](std::string_view from, std::string_view to) { return files::renameNoReplace(from, to); },
          [](std::string_view path) { return files::removeFile(path); }};
}

bool replaceRunningProgram(const SwapFiles& files, std::string_view program, platform::FileStamps& stamps,
                           const ReplacementSteps& steps) {
  const std::string staged = steps.writeBeside(files.runningExecutable, program);
  if (staged.empty()) return false;
  const uint32_t attributes = stamps.attributes(files.runningExecutable);
  const bool readOnly = (attributes & platform::attr::kReadOnly) != 0;
  if (readOnly) stamps.setAttributes(files.runningExecutable, attributes & ~platform::attr::kReadOnly);
  const bool movedAside = steps.rename(files.runningExecutable, files.oldExecutable);
  if (movedAside && steps.rename(staged, files.runningExecutable)) return true;
  // The old program goes back under its own name, as it was.
  if (movedAside) steps.rename(files.oldExecutable, files.runningExecutable);
  if (readOnly) stamps.setAttributes(files.runningExecutable, attributes);
  // Should the old file not have come back, the new one stays beside it rather than nothing at all.
  if (files::exists(files.runningExecutable)) steps.remove(staged);
  return false;
}

void tidyAfterSwap(const ProgramFiles& files, platform::FileStamps& stamps) {
  removeSwapLeftover(files.oldExecutableLeftover(), stamps);
  removeSwapLeftover(files.swapScript(), stamps);
  // A swap ended between writing the new program beside the running one and renaming it.
  files::LeftoverTemps(kStagedProgramTag).removeFor(files.executable());
}

bool removeSwapLeftover(const std::string& path, platform::FileStamps& stamps,
                        const ReplacementSteps& steps) {
  if (steps.remove(path) || !files::exists(path)) return true;
  // Windows refuses to delete a read-only file; the rename of an old swap may have kept the attribute.
  const uint32_t attributes = stamps.attributes(path);
  if ((attributes & platform::attr::kReadOnly) == 0) return false;
  stamps.setAttributes(path, attributes & ~platform::attr::kReadOnly);
  return steps.remove(path);
}

}  // namespace qv::selfupdate
