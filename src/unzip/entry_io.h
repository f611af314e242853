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

class WriteBehind;

// Decoders either fill chunk() and commit() it, which lets a large entry be written on the writer
// thread, or hand over bytes of their own with write().
class EntryOutput {
 public:
  // `behind`: the run's writer thread for a large entry, or null to write on this thread from
  // `buffer`.
  EntryOutput(Stream& file, uint64_t declaredSize, std::function<void(uint64_t written)> progress, uint8_t* buffer,
              size_t bufferSize, WriteBehind* behind);
  ~EntryOutput() { drain(); }
  EntryOutput(const EntryOutput&) = delete;
  EntryOutput& operator=(const EntryOutput&) = delete;

  uint8_t* chunk();
  size_t chunkSize() const { return chunkSize_; }
  // Passes on the first `size` bytes of the last chunk: EBiggerThanUncompressed when they would pass
  // the declared size (nothing of them is written), ECantWriteUCF when the file takes fewer bytes.
  void commit(size_t size);
  // Writes bytes from elsewhere, with the same checks.
  void write(const uint8_t* data, size_t size);
  // Waits for the writer; ECantWriteUCF when it could not write everything.
  void finish();
  // Waits for the writer without judging the outcome (on the way out of an error).
  void drain();
  uint64_t written() const { return written_; }
  uint32_t crc() const { return crc_; }

 private:
  void account(size_t size);

  Stream& file_;
  uint64_t declared_;
  uint64_t written_ = 0;
  uint32_t crc_ = 0;
  std::function<void(uint64_t)> progress_;
  uint8_t* buffer_;
  size_t chunkSize_;
  WriteBehind* behind_;
  uint8_t* current_ = nullptr;
  bool finished_ = false;
};

}  // namespace qv::unzip
