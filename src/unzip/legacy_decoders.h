#pragma once
// The three pre-deflate methods of the zip format (shrink 1, reduce 2-5, implode 6). Each decoder runs
// to the end of one entry. It pulls the entry's compressed bytes through `read` and hands decoded bytes
// to `write` in chunks of at most 32768 bytes; both may throw (data ending early, output beyond the
// declared size, a short write), and such errors pass through the decoder unchanged. A decoder that
// meets data it cannot decode stops without further output; the caller's CRC check then rejects the
// entry.
#include <cstddef>
#include <cstdint>
#include <functional>

namespace qv::unzip {

struct LegacyDecoderIo {
  // Fills up to `capacity` bytes of the entry's compressed data into `buffer`; returns the number of
  // bytes delivered, 0 once the entry's data are used up.
  std::function<size_t(uint8_t* buffer, size_t capacity)> read;
  // Takes one chunk of decoded output.
  std::function<void(const uint8_t* data, size_t size)> write;
  // Reports a decoding table that could not be allocated (method 6); the decoder then stops.
  std::function<void()> outOfMemory;
};

// Method 1. Stops at the end of the input.
void unshrink(LegacyDecoderIo& io);

// Methods 2 to 5: factor = method - 1 (1 to 4). Produces exactly `uncompressedSize` bytes unless the
// input ends first.
void unreduce(LegacyDecoderIo& io, int factor, uint64_t uncompressedSize);

// Method 6. `flags` is the entry's general-purpose bit flag (bit 1: 8K dictionary, bit 2: three trees).
void explode(LegacyDecoderIo& io, uint16_t flags, uint64_t compressedSize, uint64_t uncompressedSize);

}  // namespace qv::unzip
