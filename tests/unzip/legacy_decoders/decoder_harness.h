#pragma once
// Runs a legacy decoder over bytes in memory and records what it asked for and handed back, and
// writes LSB-first bit streams the way the zip format packs them.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "unzip/legacy_decoders.h"

namespace qv::unzip::testing {

using Bytes = std::vector<uint8_t>;

class BitWriter {
 public:
  // `value`'s low `count` bits, lowest first.
  BitWriter& bits(uint32_t value, unsigned count);
  // A Shannon-Fano code written as the digits in which it is sent, first bit first ("0110").
  BitWriter& code(const std::string& digits);
  BitWriter& byte(uint8_t value) { return bits(value, 8); }
  // The stream so far, its last byte padded with zero bits.
  Bytes bytes() const;

 private:
  Bytes bytes_;
  unsigned used_ = 0;  // bits used in the last byte, 0 when it is full
};

struct DecodeRun {
  Bytes output;
  size_t largestRead = 0;   // largest capacity the decoder asked `read` for
  size_t largestWrite = 0;  // largest chunk handed to `write`
  size_t writes = 0;
  bool outOfMemory = false;
};

// Feeds `input` to `decode` in reads of at most `chunk` bytes; `read` returns 0 once it is used up.
DecodeRun runDecoder(const Bytes& input, const std::function<void(LegacyDecoderIo&)>& decode,
                     size_t chunk = SIZE_MAX);

std::string text(const Bytes& bytes);
Bytes bytesOf(const std::string& text);

}  // namespace qv::unzip::testing
