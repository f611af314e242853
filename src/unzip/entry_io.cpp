#include "unzip/entry_io.h"

#include <zlib.h>

#include <algorithm>

#include "unzip/write_behind.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

size_t EntryInput::read(uint8_t* buffer, size_t capacity) {
  const size_t want = static_cast<size_t>(std::min<uint64_t>(capacity, remaining_));
  if (want == 0) return 0;
  if (pump_) pump_();
  const size_t got = archive_.read(buffer, want);
  if (got < want) throw EFatalUnzipError(msg::kPrematureEnd);
  if (decrypter_) decrypter_->decrypt(buffer, got);
  remaining_ -= got;
  return got;
}

EntryOutput::EntryOutput(Stream& file, uint64_t declaredSize, std::function<void(uint64_t)> progress, uint8_t* buffer,
                         size_t bufferSize, WriteBehind* behind)
    : file_(file), declared_(declaredSize), progress_(std::move(progress)), buffer_(buffer), chunkSize_(bufferSize),
      behind_(behind) {
  if (behind_) {
    behind_->begin(file_);
    chunkSize_ = behind_->slotSize();
  }
}

uint8_t* EntryOutput::chunk() {
  if (!behind_) return buffer_;
  if (!current_) current_ = behind_->acquire();
  return current_;
}

void EntryOutput::commit(size_t size) {
  if (size == 0) return;
  if (!behind_) {
    write(buffer_, size);
    return;
  }
  if (size > declared_ - written_) throw EBiggerThanUncompressed();
  behind_->submit(size);
  current_ = nullptr;
  account(size);
}

void EntryOutput::write(const uint8_t* data, size_t size) {
  if (size == 0) return;
  if (size > declared_ - written_) throw EBiggerThanUncompressed();
  if (file_.write(data, size) != size) throw ECantWriteUCF();
  // zlib's crc32 takes at most a 32-bit length per call.
  for (size_t done = 0; done < size;) {
    const uInt n = static_cast<uInt>(std::min<size_t>(size - done, 1u << 30));
    crc_ = static_cast<uint32_t>(crc32(crc_, data + done, n));
    done += n;
  }
  account(size);
}

void EntryOutput::account(size_t size) {
  written_ += size;
  if (progress_) progress_(written_);
}

void EntryOutput::finish() {
  if (!behind_ || finished_) return;
  finished_ = true;
  current_ = nullptr;
  if (!behind_->finish(crc_)) throw ECantWriteUCF();
}

void EntryOutput::drain() {
  if (!behind_ || finished_) return;
  finished_ = true;
  current_ = nullptr;
  behind_->finish(crc_);
}

}  // namespace qv::unzip
