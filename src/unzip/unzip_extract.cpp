// The extraction run of TUnZip and the handling of one entry.
#include <algorithm>
#include <cmath>
#include <optional>
#include <unordered_set>

#include "common/path.h"
#include "common/text.h"
#include "unzip/entry_decoders.h"
#include "unzip/entry_names.h"
#include "unzip/file_system.h"
#include "unzip/legacy_decoders.h"
#include "unzip/unzip.h"
#include "unzip/write_behind.h"
#include "unzip/zip_bytes.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

namespace {

constexpr const char* kPartialSuffix = ".qv-partial";

int percent(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<int>(std::min<uint64_t>(100, (done * 100 + total / 2) / total));
}

// Removes the output file unless it was kept: either the temporary beside an existing target, handed
// over to the target's name, or the target itself when the engine created it new for this entry.
class OutputGuard {
 public:
  OutputGuard(TBufferedFileStream& file, std::string path) : file_(file), path_(std::move(path)) {}
  ~OutputGuard() {
    if (path_.empty()) return;
    file_.close();  // an open file cannot be removed on Windows
    removeFile(path_);
  }
  OutputGuard(const OutputGuard&) = delete;
  OutputGuard& operator=(const OutputGuard&) = delete;
  // Keeps the file where it is.
  void keep() { path_.clear(); }
  // Moves the file over `target` and keeps it there.
  bool commitTo(const std::string& target) {
    if (!renameReplacing(path_, target)) return false;
    path_.clear();
    return true;
  }

 private:
  TBufferedFileStream& file_;
  std::string path_;
};

}  // namespace

struct TUnZip::Run {
  WorkBuffers work;
  std::optional<WriteBehind> behind;  // started with the first large entry
  TBufferedFileStream output{kStreamBufferSize};
  int toDo = 0;
  uint64_t totalBytes = 0;
  uint64_t doneBytes = 0;
  // Output directories known to exist in this run: thousands of entries share a few dozen folders,
  // and asking the file system again for each would cost a call per entry.
  std::unordered_set<std::string> knownDirectories;
  // Makes sure `dir` exists, asking the file system only the first time the run meets it.
  bool ensureDirectory(const std::string& dir) {
    if (dir.empty() || knownDirectories.contains(dir)) return true;
    if (!isDirectory(dir) && !createDirectories(dir)) return false;
    knownDirectories.insert(dir);
    return true;
  }
};

int TUnZip::ExtractFiles() {
  if (destDir_ == "?") return 0;
  ReadDirectory();
  if (!dirValid_) ensureDirectory();  // a missing end record now leaves as EIncompleteZip
  openArchive();
  int count = 0;
  auto finish = [&] {
    FilesList.clear();
    if (SortMode != TZipSortMode::ByNone) list_.sortBy(SortMode);
    if (OnUnZipComplete) OnUnZipComplete(*this, count);
  };
  {
    std::optional<Run> run;
    try {
      run.emplace();
      count = runExtraction(*run);
    } catch (...) {
      run.reset();
      finish();
      throw;
    }
  }
  finish();
  if (!KeepZipOpen) closeArchive();
  return count;
}

int TUnZip::runExtraction(Run& run) {
  if (!destDir_.empty() && !isDirectory(destDir_)) createDirectories(destDir_);
  // A multi-part archive is read in directory order so parts are visited front to back.
  if (multiPart_ && SortMode != TZipSortMode::ByNone) list_.unsort();
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
        e.Selected = std::any_of(patterns.begin(), patterns.end(), [&](const std::string& p) { return matchesPattern(name, p); });
      }
    }
    if (e.Selected)
      run.totalBytes += e.uncompressedSize();
    else
      --run.toDo;
  }
  bool stop = false;
  if (OnStartUnZipInfo) OnStartUnZipInfo(*this, run.toDo, static_cast<int64_t>(run.totalBytes), stop);
  int count = 0;
  if (run.toDo <= 0 || stop) return 0;
  for (int i = 0; i < n; ++i) {
    if (!DoAll && !list_.inView(static_cast<size_t>(i)).Selected) continue;
    Outcome outcome;
    do outcome = handleEntry(run, i);
    while (outcome == Outcome::Retry);
    if (outcome == Outcome::Extracted) ++count;
  }
  return count;
}

void TUnZip::decode(const TZipHeaderInfo& e, EntryInput& in, EntryOutput& out, Run& run, uint64_t compressed,
                    uint64_t declared, bool& decoded) {
  switch (e.compression_method) {
    case 0:
      decodeStored(in, out, run.work);
      break;
    case 8:
      decodeDeflated(in, out, run.work);
      break;
    case 1:
    case 2:
    case 3:
    case 4:
    case 5:
    case 6: {
      LegacyDecoderIo io;
      io.read = [&in](uint8_t* buffer, size_t capacity) { return in.read(buffer, capacity); };
      io.write = [&out](const uint8_t* data, size_t size) { out.write(data, size); };
      io.outOfMemory = [this] { showMessage(193, msg::kInflateOutOfMemory, msg::kErrorCaption, mb::kOk | mb::kIconError); };
      if (e.compression_method == 1)
        unshrink(io);
      else if (e.compression_method == 6)
        explode(io, e.general_purpose_bit_flag, compressed, declared);
      else
        unreduce(io, e.compression_method - 1, declared);
      break;
    }
    default:
      showMessage(197, msg::kUnknownMethod, msg::kZipErrorCaption, mb::kOk);
      decoded = false;
      break;
  }
}

TUnZip::Outcome TUnZip::skip(Run& run, TSkipReason reason, const std::string& name, int index) {
  bool retry = false;
  if (OnSkippingFile) OnSkippingFile(*this, reason, name, index, retry);
  if (retry) return Outcome::Retry;
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  run.totalBytes -= std::min(run.totalBytes, e.uncompressedSize());
  --run.toDo;
  return Outcome::NotExtracted;
}

TUnZip::Outcome TUnZip::handleEntry(Run& run, int index) {
  TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  const bool isFile = !e.filename.empty();

  // Where the entry goes. A name that would leave the destination is never written.
  const std::optional<std::string> dir = outputDirectory(destDir_, e.directory, RecreateDirs, RelativePathList);
  if (!dir || (isFile && !isSafeFileName(e.filename))) return skip(run, TSkipReason::srCreateError, e.directory + e.filename, index);

  if (!isFile) {
    if (!RecreateDirs) return Outcome::Extracted;
    if (run.ensureDirectory(*dir)) return Outcome::Extracted;
    return skip(run, TSkipReason::srCreateError, *dir, index);
  }

  std::string target = joinPath(*dir, e.filename);
  bool skipIt = false;
  if (OnStartUnZip) OnStartUnZip(*this, index, target, skipIt);
  if (skipIt) return Outcome::NotExtracted;
  const std::string targetDir = text::directoryOf(target);
  if (!run.ensureDirectory(targetDir)) return skip(run, TSkipReason::srCreateError, target, index);

  // The local header gives the lengths that stand between it and the data.
  uint8_t local[30];
  const int64_t headerPos = partBase(e.diskNumberStart()) + static_cast<int64_t>(e.relativeOffset());
  if (archive_->seek(headerPos, SeekOrigin::Begin) != headerPos || archive_->read(local, sizeof local) != sizeof local)
    throw EFatalUnzipError(msg::kPrematureEnd);
  const int64_t dataPos = headerPos + 30 + le16(local + 26) + le16(local + 28);
  archive_->seek(dataPos, SeekOrigin::Begin);

  uint64_t compressed = e.compressedSize();
  std::optional<ZipDecrypter> decrypter;
  if (e.encrypted()) {
    uint8_t header[12];
    if (compressed < 12 || archive_->read(header, sizeof header) != sizeof header) throw EFatalUnzipError(msg::kPrematureEnd);
    // The writer derived the check byte from the time it stored in the local header, so that value
    // counts, not the entry's normalised time: an out-of-range hour would otherwise fail a good entry.
    const uint8_t check = e.hasDataDescriptor() ? local[11] : static_cast<uint8_t>(e.crc32 >> 24);
    decrypter.emplace(password_);
    if (decrypter->decryptHeader(header) != check) {
      std::string newPassword;
      if (OnBadPassword) OnBadPassword(*this, index, newPassword);
      if (!newPassword.empty()) {
        password_ = newPassword;
        return Outcome::Retry;
      }
      return skip(run, TSkipReason::srBadPassword, target, index);
    }
    compressed -= 12;
  }

  // A target that does not exist yet is created exclusively and written in place: there is nothing to
  // lose, and on failure it is removed again. Only a target that exists is written under a temporary
  // name beside it and takes the real name once its CRC has matched, so a failed entry never costs the
  // file it would have replaced. Exclusive creation also never writes through a link at the name.
  bool exists = false;
  std::optional<OutputGuard> guard;
  if (run.output.open(target, NativeFile::Mode::CreateNew, nullptr, &exists)) {
    guard.emplace(run.output, target);
  } else if (!exists) {
    return skip(run, TSkipReason::srCreateError, target, index);
  } else {
    bool replace = true;
    switch (OverwriteMode) {
      case TUZOverwriteMode::Always:
        break;
      case TUZOverwriteMode::Never:
        replace = false;
        break;
      case TUZOverwriteMode::ifNewer:
        replace = e.last_mod_file_date_time > stamps_.dosDateTime(serviceName(target));
        break;
      case TUZOverwriteMode::ifOlder:
        replace = e.last_mod_file_date_time < stamps_.dosDateTime(serviceName(target));
        break;
      case TUZOverwriteMode::Prompt:
        if (OnPromptForOverwrite) {
          replace = false;
          OnPromptForOverwrite(*this, replace, index, target);
        } else {
          replace = showMessage(0, std::string(msg::kReplaceExisting) + e.filename + "?", msg::kFileExistsAlert,
                                mb::kYesNo | mb::kIconQuestion) == mb::kIdYes;
        }
        break;
    }
    if (!replace) return skip(run, TSkipReason::srNoOverwrite, target, index);
    // A read-only file is not replaced unless asked to; then it loses the attribute first.
    const std::string stampName = serviceName(target);
    if (stamps_.attributes(stampName) & platform::attr::kReadOnly) {
      if (!ReplaceReadOnly ||
          !stamps_.setAttributes(stampName, stamps_.attributes(stampName) & ~platform::attr::kReadOnly))
        return skip(run, TSkipReason::srCreateError, target, index);
    }
    const std::string partial = target + kPartialSuffix;
    if (!run.output.open(partial, NativeFile::Mode::Create)) return skip(run, TSkipReason::srCreateError, target, index);
    guard.emplace(run.output, partial);
  }

  const uint64_t declared = e.uncompressedSize();
  const uint64_t bytesBefore = run.doneBytes;
  std::function<void(uint64_t)> progress;
  if (OnFilePercentDone || OnTotalPercentDone) {
    progress = [&, declared, bytesBefore](uint64_t written) {
      run.doneBytes = bytesBefore + written;
      if (OnFilePercentDone) OnFilePercentDone(*this, percent(written, declared));
      if (OnTotalPercentDone) OnTotalPercentDone(*this, percent(run.doneBytes, run.totalBytes));
    };
  }
  EntryInput in(*archive_, compressed, decrypter ? &*decrypter : nullptr,
                DoProcessMessages && processMessages_ ? processMessages_ : std::function<void()>());
  const bool large = declared >= kWriteBehindThreshold && (e.compression_method == 0 || e.compression_method == 8);
  if (large && !run.behind) run.behind.emplace(kWriteBehindSlot, kWriteBehindSlots);
  EntryOutput out(run.output, declared, std::move(progress), run.work.output.data(), run.work.output.size(),
                  large ? &*run.behind : nullptr);

  bool decoded = true;
  try {
    try {
      decode(e, in, out, run, compressed, declared, decoded);
    } catch (const EBiggerThanUncompressed&) {
      // The CRC check below decides on what was written up to the declared size.
    } catch (const EEntryDataError&) {
      decoded = false;
    }
    out.finish();
  } catch (...) {
    out.drain();
    run.output.close();
    throw;  // ends the run; the partial output is removed, an existing file stays
  }
  if (!run.output.close(FlushFilesOnClose)) throw ECantWriteUCF();
  run.doneBytes = bytesBefore + out.written();

  const bool crcGood = decoded && out.crc() == e.crc32 && out.written() == declared;
  if (!crcGood) {
    if (e.encrypted()) {
      std::string newPassword;
      if (OnBadPassword) OnBadPassword(*this, index, newPassword);
      if (!newPassword.empty()) {
        password_ = newPassword;
        return Outcome::Retry;
      }
    } else if (OnBadCRC) {
      OnBadCRC(*this, out.crc(), e.crc32, index);
    }
    run.totalBytes -= std::min(run.totalBytes, declared);
    --run.toDo;
    return Outcome::NotExtracted;
  }
  if (exists) {
    if (!guard->commitTo(target)) return skip(run, TSkipReason::srCreateError, target, index);
  } else {
    guard->keep();
  }
  const std::string stampName = serviceName(target);
  stamps_.setDosDateTime(stampName, e.last_mod_file_date_time);
  // A file the engine has just created already carries the plain attributes; only read-only, hidden
  // and system need a call (two system calls per file saved on archives of thousands of files).
  constexpr uint32_t kMeaningful = platform::attr::kReadOnly | platform::attr::kHidden | platform::attr::kSystem;
  if (RetainAttributes && (e.external_file_attributes & kMeaningful))
    stamps_.setAttributes(stampName, e.external_file_attributes);
  if (OnEndUnZip) OnEndUnZip(*this, index, target);
  return Outcome::Extracted;
}

}  // namespace qv::unzip
