// The extraction run of TUnZip: the layout check, the selection pass and the entries one by one.
#include <algorithm>

#include "common/path.h"
#include "common/text.h"
#include "unzip/engine_temporary.h"
#include "unzip/entry_names.h"
#include "unzip/extraction_run.h"
#include "unzip/file_system.h"
#include "unzip/output_file.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

TUnZip::Run::Made TUnZip::Run::ensureDirectory(const std::string& dir, std::string* link) {
  if (dir.empty() || knownDirectories.contains(dir)) return Made::kYes;
  const bool below = !root.empty() && dir.size() > root.size() + 1 && dir.starts_with(root) &&
                     dir[root.size()] == path::kSep;
  if (!below) {
    // The destination itself, or a place an event handler chose: taken as named.
    if (isDirectory(dir))
      removeEngineLeftovers(dir);
    else if (!createDirectories(dir))
      return Made::kFailed;
    knownDirectories.insert(dir);
    return Made::kYes;
  }
  // One folder at a time, from the destination down, without following any of them.
  for (size_t end = dir.find(path::kSep, root.size() + 1);; end = dir.find(path::kSep, end + 1)) {
    const std::string step = dir.substr(0, end);
    if (!knownDirectories.contains(step)) {
      switch (pathKind(step)) {
        case PathKind::Missing:
          if (!createDirectories(step)) return Made::kFailed;
          break;
        case PathKind::Directory:
          if (step.size() == dir.size()) removeEngineLeftovers(dir);
          break;
        case PathKind::Link:
          if (link) *link = step;
          return Made::kThroughLink;
        default:
          return Made::kFailed;
      }
      knownDirectories.insert(step);
    }
    if (end == std::string::npos) return Made::kYes;
  }
}

int TUnZip::ExtractFiles() {
  if (destDir_ == "?") return 0;
  extracted_ = 0;
  // One open for the whole run: the directory is read (or found still valid) on it, then extracted.
  openWithDirectory();
  auto finish = [&] {
    FilesList.clear();
    if (SortMode != TZipSortMode::ByNone) list_.sortBy(SortMode);
    if (OnUnZipComplete) OnUnZipComplete(*this, extracted_);
  };
  {
    std::optional<Run> run;
    try {
      run.emplace();
      runExtraction(*run);
    } catch (...) {
      run.reset();
      finish();
      throw;
    }
  }
  finish();
  if (!KeepZipOpen) closeArchive();
  return extracted_;
}

void TUnZip::runExtraction(Run& run) {
  // A multi-part archive is read in directory order so parts are visited front to back.
  if (multiPart_ && SortMode != TZipSortMode::ByNone) list_.unsort();
  // Nothing is written before the archive is known to hold what its directory says.
  run.places = placeEntries(*archive_, list_, archive_->size(), directoryRange_,
                            [this](uint32_t disk) { return partBase(disk); });
  if (!destDir_.empty() && run.ensureDirectory(destDir_) != Run::Made::kYes)
    throw EDestinationError(destDir_);
  run.root = destDir_;
  std::vector<std::string> patterns;
  for (const std::string& p : FilesList) patterns.push_back(text::asciiLower(p));

  const int n = Count();
  run.toDo = n;
  for (int i = 0; i < n; ++i) {
    pump();
    TZipHeaderInfo& e = list_.inView(static_cast<size_t>(i));
    e.Selected = false;
    if (!e.filename.empty() || RecreateDirs) {
      if (DoAll) {
        e.Selected = true;
      } else {
        const std::string name = text::asciiLower(e.directory + e.filename);
        e.Selected = std::any_of(patterns.begin(), patterns.end(),
                                 [&](const std::string& p) { return matchesPattern(name, p); });
      }
    }
    if (e.Selected)
      run.totalBytes += e.uncompressedSize();
    else
      --run.toDo;
  }
  bool stop = false;
  if (OnStartUnZipInfo) OnStartUnZipInfo(*this, run.toDo, static_cast<int64_t>(run.totalBytes), stop);
  if (run.toDo <= 0 || stop) return;
  for (int i = 0; i < n; ++i) {
    if (!DoAll && !list_.inView(static_cast<size_t>(i)).Selected) continue;
    Outcome outcome;
    do outcome = handleEntry(run, i);
    while (outcome == Outcome::Retry);
    if (outcome == Outcome::Extracted) ++extracted_;
  }
}

TUnZip::Outcome TUnZip::skip(Run& run, TSkipReason reason, const std::string& name, int index,
                             std::string why) {
  bool retry = false;
  skipDetail_ = std::move(why);
  if (OnSkippingFile) OnSkippingFile(*this, reason, name, index, retry);
  skipDetail_.clear();
  if (retry) return Outcome::Retry;
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  run.totalBytes -= std::min(run.totalBytes, e.uncompressedSize());
  --run.toDo;
  return Outcome::NotExtracted;
}

TUnZip::Outcome TUnZip::handleEntry(Run& run, int index) {
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  const bool isFile = !e.filename.empty();

  // Where the entry goes. A name that would leave the destination, or that Windows would read as a
  // device, strip, or the engine uses for its temporaries, is never written.
  std::string why;
  const std::optional<std::string> dir =
      outputDirectory(destDir_, e.directory, RecreateDirs, RelativePathList, &why);
  if (!dir || (isFile && !isSafeFileName(e.filename, &why)))
    return skip(run, TSkipReason::srCreateError, e.directory + e.filename, index, why);

  // A folder on the entry's way that is a link would take the entry somewhere else entirely.
  auto madeOrSkipped = [&](const std::string& directory, const std::string& name) -> std::optional<Outcome> {
    std::string link;
    switch (run.ensureDirectory(directory, &link)) {
      case Run::Made::kYes:
        return std::nullopt;
      case Run::Made::kThroughLink:
        return skip(run, TSkipReason::srCreateError, name, index,
                    "the folder " + link + " on its way is a link, and nothing is written through one");
      case Run::Made::kFailed:
        break;
    }
    return skip(run, TSkipReason::srCreateError, name, index, "its folder cannot be made");
  };

  if (!isFile) {
    if (!RecreateDirs) return Outcome::Extracted;
    if (const auto outcome = madeOrSkipped(*dir, *dir)) return *outcome;
    return Outcome::Extracted;
  }

  std::string target = joinPath(*dir, e.filename);
  bool skipIt = false;
  if (OnStartUnZip) OnStartUnZip(*this, index, target, skipIt);
  if (skipIt) return Outcome::NotExtracted;
  if (const auto outcome = madeOrSkipped(path::directoryOf(target), target)) return *outcome;

  EntrySource source;
  if (const auto outcome = openSource(run, index, target, source)) return *outcome;
  OutputFile output(run.output);
  if (const auto outcome = openOutput(run, index, target, output)) return *outcome;
  const Decoded decoded = decodeEntry(run, index, source, output);
  return commitEntry(run, index, target, output, decoded);
}

}  // namespace qv::unzip
