// Methods 2 to 5 (reduce) on hostile bit streams. Input: the factor byte, two bytes of declared
// uncompressed size (what a larger size adds is only more of the same output), one byte choosing the
// read size, then the data.
#include "decoder_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const int factor = 1 + static_cast<int>(qv::fuzz::parameter(data, size, 1) % 4);
  const uint64_t declared = qv::fuzz::parameter(data, size, 2);
  const size_t chunk = 1 + qv::fuzz::parameter(data, size, 1) * 129;
  const qv::fuzz::DecoderRun run = qv::fuzz::runDecoder(
      data, size, chunk, declared,
      [&](qv::unzip::LegacyDecoderIo& io) { qv::unzip::unreduce(io, factor, declared); });
  qv::fuzz::require(run.produced <= declared, "more output than the entry declares");
  return 0;
}
