// Method 1 (shrink) on hostile bit streams. Input: two bytes of declared uncompressed size, one byte
// choosing the read size, then the data. Shrinking has no size of its own: the declared size is what
// stops a stream whose strings keep growing.
#include "decoder_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const uint64_t declared = qv::fuzz::parameter(data, size, 2);
  const size_t chunk = 1 + qv::fuzz::parameter(data, size, 1) * 129;
  const qv::fuzz::DecoderRun run = qv::fuzz::runDecoder(
      data, size, chunk, declared, [](qv::unzip::LegacyDecoderIo& io) { qv::unzip::unshrink(io); });
  qv::fuzz::require(run.produced <= declared, "more output than the entry declares");
  return 0;
}
