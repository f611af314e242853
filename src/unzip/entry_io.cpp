#include "unzip/entry_io.h"

#include <zlib.h>

#include <algorithm>

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
  written_ += size;
  if (progress_) progress_(written_);
}

}  // namespace qv::unzip
