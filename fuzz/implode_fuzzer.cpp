// Method 6 (implode) on hostile bit streams. Input: the flags byte (bit 1 the 8K dictionary, bit 2
// the literal tree, bit 3 a compressed size above 200000 for the wider distance table), two bytes of
// declared uncompressed size, one byte choosing the read size, then the data.
#include "decoder_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint32_t flags = qv::fuzz::parameter(data, size, 1);
  const uint64_t declared = qv::fuzz::parameter(data, size, 2);
  const size_t chunk = 1 + qv::fuzz::parameter(data, size, 1) * 129;
  const uint64_t compressed = (flags & 8) ? 200001 + size : size;
  const qv::fuzz::DecoderRun run =
      qv::fuzz::runDecoder(data, size, chunk, declared, [&](qv::unzip::LegacyDecoderIo& io) {
        qv::unzip::explode(io, static_cast<uint16_t>(flags & 6), compressed, declared);
      });
  qv::fuzz::require(run.produced <= declared, "more output than the entry declares");
  return 0;
}
