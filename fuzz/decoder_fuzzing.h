#pragma once
// Drives a legacy decoder over fuzz input: the compressed bytes are fed in reads of a size the input
// chooses (so refills fall everywhere), the output is only counted. Output chunks must stay within
// the decoders' 32 KiB. As in the engine, output past the entry's declared size raises an exception
// that ends the decoder (which must unwind cleanly).
#include <algorithm>
#include <cstring>

#include "fuzz_support.h"
#include "unzip/legacy_decoders.h"

namespace qv::fuzz {

struct DecoderRun {
  uint64_t produced = 0;
  bool tooLarge = false;  // the decoder went past the declared size
};

// `data` is the compressed stream; `chunk` the largest read the source answers with (at least 1).
template <typename Decode>
DecoderRun runDecoder(const uint8_t* data, size_t size, size_t chunk, uint64_t declared, Decode decode) {
  struct TooLarge {};
  DecoderRun run;
  size_t position = 0;
  unzip::LegacyDecoderIo io;
  io.read = [&](uint8_t* buffer, size_t capacity) {
    const size_t n = std::min({capacity, chunk, size - position});
    if (n > 0) std::memcpy(buffer, data + position, n);
    position += n;
    return n;
  };
  io.write = [&](const uint8_t*, size_t n) {
    require(n <= 32768, "an output chunk larger than the decoders' buffer");
    if (n > declared - run.produced) throw TooLarge{};
    run.produced += n;
  };
  io.outOfMemory = [] {};
  try {
    decode(io);
  } catch (const TooLarge&) {
    run.tooLarge = true;
  }
  return run;
}

// The parameters taken from the front of the input: `count` bytes, or zeros when it is shorter.
inline uint32_t parameter(const uint8_t*& data, size_t& size, size_t count) {
  uint32_t value = 0;
  for (size_t i = 0; i < count; ++i) {
    value |= static_cast<uint32_t>(size > 0 ? *data : 0) << (8 * i);
    if (size > 0) {
      ++data;
      --size;
    }
  }
  return value;
}

}  // namespace qv::fuzz
