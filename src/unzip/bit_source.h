#pragma once
// What the three legacy decoders share: the entry's compressed bytes read LSB-first as bits, and
// the decoded bytes collected in a 32 KiB circular buffer that doubles as the history window for
// back-references (reduce looks back at most 4096 bytes, implode 8192).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "unzip/legacy_decoders.h"

namespace qv::unzip {

class BitSource {
 public:
  static constexpr size_t kBlockSize = 32768;

  explicit BitSource(LegacyDecoderIo& io);

  // The next byte of the entry's data, or -1 once they are used up.
  int nextByte();

  // Takes `count` (at most 16) bits. When fewer are left the end-of-input flag is set and the
  // result is meaningless; callers test `exhausted()` before using it.
  uint32_t take(unsigned count) {
    if (held_ < count) fill();
    if (held_ < count) return markExhausted();
    uint32_t value = accumulator_ & ((1u << count) - 1);
    accumulator_ >>= count;
    held_ -= count;
    return value;
  }

  // The next `count` (at most 16) bits without taking them; bits beyond the end read as zero.
  uint32_t peek(unsigned count) {
    if (held_ < count) fill();
    return accumulator_ & ((1u << count) - 1);
  }

  // Drops `count` bits after a peek; false (and the end-of-input flag) when fewer are left.
  bool skip(unsigned count) {
    if (held_ < count) {
      markExhausted();
      return false;
    }
    accumulator_ >>= count;
    held_ -= count;
    return true;
  }

  bool exhausted() const { return exhausted_; }

 private:
  // Shifts whole bytes in above the bits held while fewer than 25 are held, so any request of up
  // to 16 bits is served from the accumulator.
  void fill();
  uint32_t markExhausted();

  LegacyDecoderIo& io_;
  std::vector<uint8_t> block_;
  size_t position_ = 0;
  size_t available_ = 0;
  bool inputDone_ = false;
  uint32_t accumulator_ = 0;
  unsigned held_ = 0;
  bool exhausted_ = false;
};

class OutputWindow {
 public:
  static constexpr size_t kSize = 32768;

  explicit OutputWindow(LegacyDecoderIo& io);

  void put(uint8_t byte) {
    window_[position_] = byte;
    ++produced_;
    if (++position_ == kSize) flush();
  }

  // Appends `length` bytes starting `distance` (1 to 32768) bytes back. The window starts zeroed,
  // so a reference reaching before the first byte produced yields zeros; overlapping copies repeat
  // the bytes just written, as run-length references expect.
  void copy(uint32_t distance, uint32_t length) {
    size_t from = (position_ - distance) & (kSize - 1);
    while (length-- > 0) {
      put(window_[from]);
      from = (from + 1) & (kSize - 1);
    }
  }

  uint64_t produced() const { return produced_; }

  // Hands over whatever has not left yet; called once when a decoder ends normally.
  void finish();

 private:
  void flush();

  LegacyDecoderIo& io_;
  std::vector<uint8_t> window_;
  size_t position_ = 0;
  uint64_t produced_ = 0;
};

}  // namespace qv::unzip
