// The four steps of handling one file entry: where its data lie (and whether the password fits), the
// output file under the overwrite rules, decoding, and committing what was decoded.
#include <algorithm>

#include "unzip/entry_io.h"
#include "unzip/extraction_run.h"
#include "unzip/file_system.h"
#include "unzip/legacy_decoders.h"
#include "unzip/output_file.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

namespace {

int percent(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  return static_cast<int>(std::min<uint64_t>(100, (done * 100 + total / 2) / total));
}

}  // namespace

std::optional<TUnZip::Outcome> TUnZip::openSource(Run& run, int index, const std::string& target,
                                                  EntrySource& source) {
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  // The local header was read (and its signature checked) by the layout check before the run.
  const EntryPlace& place = run.places[static_cast<size_t>(index)];
  source.data = place.data;
  source.compressed = e.compressedSize();
  if (!e.encrypted()) return std::nullopt;

  uint8_t header[12];
  if (source.compressed < 12 || archive_->seek(place.data, SeekOrigin::Begin) != place.data ||
      archive_->read(header, sizeof header) != sizeof header)
    throw EFatalUnzipError(msg::kPrematureEnd);
  // The writer derived the check byte from the time it stored in the local header, so that value
  // counts, not the entry's normalised time: an out-of-range hour would otherwise fail a good entry.
  const uint8_t check = e.hasDataDescriptor() ? static_cast<uint8_t>(place.local.dosDateTime >> 8)
                                              : static_cast<uint8_t>(e.crc32 >> 24);
  source.decrypter.emplace(password_);
  if (source.decrypter->decryptHeader(header) != check) {
    std::string newPassword;
    if (OnBadPassword) OnBadPassword(*this, index, newPassword);
    if (!newPassword.empty()) {
      password_ = newPassword;
      return Outcome::Retry;
    }
    return skip(run, TSkipReason::srBadPassword, target, index);
  }
  source.data += 12;
  source.compressed -= 12;
  return std::nullopt;
}

std::optional<TUnZip::Outcome> TUnZip::openOutput(Run& run, int index, std::string& target,
                                                  OutputFile& output) {
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  switch (output.createNew(target)) {
    case OutputFile::Created::kNew:
      return std::nullopt;
    case OutputFile::Created::kFailed:
      return skip(run, TSkipReason::srCreateError, target, index);
    case OutputFile::Created::kTaken:
      break;
  }
  // A directory of that name is never replaced by a file. A link there is replaced as a name (the
  // file is written beside it and renamed over it), never written through.
  const PathKind existing = pathKind(target);
  if (existing == PathKind::Directory)
    return skip(run, TSkipReason::srCreateError, target, index, "a folder has its name");
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
  // A read-only file is not replaced unless asked to; then it loses the attribute first. A link's
  // attributes are those of what it points at, which is none of the archive's business.
  const std::string stampName = serviceName(target);
  const uint32_t attributes = existing == PathKind::Link ? 0 : stamps_.attributes(stampName);
  if (attributes & platform::attr::kReadOnly) {
    if (!ReplaceReadOnly || !stamps_.setAttributes(stampName, attributes & ~platform::attr::kReadOnly))
      return skip(run, TSkipReason::srCreateError, target, index);
  }
  if (!output.openBeside(target)) return skip(run, TSkipReason::srCreateError, target, index);
  return std::nullopt;
}

TUnZip::Decoded TUnZip::decodeEntry(Run& run, int index, EntrySource& source, OutputFile& output) {
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
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
  if (archive_->seek(source.data, SeekOrigin::Begin) != source.data)
    throw EFatalUnzipError(msg::kPrematureEnd);
  EntryInput in(*archive_, source.compressed, source.decrypter ? &*source.decrypter : nullptr,
                DoProcessMessages && processMessages_ ? processMessages_ : std::function<void()>());
  const bool large =
      declared >= kWriteBehindThreshold && (e.compression_method == 0 || e.compression_method == 8);
  if (large && !run.behind) run.behind.emplace(kWriteBehindSlot, kWriteBehindSlots);
  EntryOutput out(output.stream(), declared, std::move(progress), run.work.output.data(),
                  run.work.output.size(), large ? &*run.behind : nullptr);

  Decoded result;
  result.complete = true;
  try {
    try {
      decode(e, in, out, run, source.compressed, declared, result.complete);
    } catch (const EBiggerThanUncompressed&) {
      // The CRC check decides on what was written up to the declared size.
    } catch (const EEntryDataError&) {
      result.complete = false;
    }
    out.finish();
  } catch (...) {
    out.drain();
    throw;  // ends the run; the output file removes itself, an existing file stays
  }
  if (!output.close(FlushFilesOnClose)) throw ECantWriteUCF();
  result.crc = out.crc();
  result.written = out.written();
  run.doneBytes = bytesBefore + result.written;
  return result;
}

TUnZip::Outcome TUnZip::commitEntry(Run& run, int index, const std::string& target, OutputFile& output,
                                    const Decoded& decoded) {
  const TZipHeaderInfo& e = list_.inView(static_cast<size_t>(index));
  const uint64_t declared = e.uncompressedSize();
  if (!decoded.complete || decoded.crc != e.crc32 || decoded.written != declared) {
    if (e.encrypted()) {
      std::string newPassword;
      if (OnBadPassword) OnBadPassword(*this, index, newPassword);
      if (!newPassword.empty()) {
        password_ = newPassword;
        return Outcome::Retry;
      }
    } else if (OnBadCRC) {
      OnBadCRC(*this, decoded.crc, e.crc32, index);
    }
    run.totalBytes -= std::min(run.totalBytes, declared);
    --run.toDo;
    return Outcome::NotExtracted;  // the output file removes itself
  }
  if (!output.commit()) return skip(run, TSkipReason::srCreateError, target, index);
  const std::string stampName = serviceName(target);
  stamps_.setDosDateTime(stampName, e.last_mod_file_date_time);
  // A file the engine has just created already carries the plain attributes; only read-only, hidden
  // and system need a call (two system calls per file saved on archives of thousands of files).
  constexpr uint32_t kMeaningful =
      platform::attr::kReadOnly | platform::attr::kHidden | platform::attr::kSystem;
  if (RetainAttributes && (e.external_file_attributes & kMeaningful))
    stamps_.setAttributes(stampName, e.external_file_attributes);
  if (OnEndUnZip) OnEndUnZip(*this, index, target);
  return Outcome::Extracted;
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
      io.outOfMemory = [this] {
        showMessage(193, msg::kInflateOutOfMemory, msg::kErrorCaption, mb::kOk | mb::kIconError);
      };
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

}  // namespace qv::unzip
