#pragma once
// The two ends of one entry's decoding: the compressed bytes coming from the archive (decrypted on the
// way when the entry is encrypted) and the decoded bytes going to the output file (checked against the
// declared size, CRC-32 computed on the way).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "unzip/zip_crypto.h"
#include "unzip/zip_stream.h"

namespace qv::unzip {

class EntryInput {
 public:
  EntryInput(Stream& archive, uint64_t compressedSize, ZipDecrypter* decrypter, std::function<void()> pump)
      : archive_(archive), remaining_(compressedSize), decrypter_(decrypter), pump_(std::move(pump)) {}

  // Up to `capacity` bytes of the entry's data; 0 once they are used up. Data that end before the
  // compressed size says raise EFatalUnzipError.
  size_t read(uint8_t* buffer, size_t capacity);
  uint64_t remaining() const { return remaining_; }

 private:
  Stream& archive_;
  uint64_t remaining_;
  ZipDecrypter* decrypter_;
  std::function<void()> pump_;
};

class EntryOutput {
 public:
  EntryOutput(Stream& file, uint64_t declaredSize, std::function<void(uint64_t written)> progress)
      : file_(file), declared_(declaredSize), progress_(std::move(progress)) {}

  // Writes one chunk: EBiggerThanUncompressed when it would pass the declared size (nothing of it is
  // written), ECantWriteUCF when the file takes fewer bytes.
  void write(const uint8_t* data, size_t size);
  uint64_t written() const { return written_; }
  uint32_t crc() const { return crc_; }

 private:
  Stream& file_;
  uint64_t declared_;
  uint64_t written_ = 0;
  uint32_t crc_ = 0;
  std::function<void(uint64_t)> progress_;
};

}  // namespace qv::unzip
