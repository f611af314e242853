// Random bytes, alone or behind valid tables, must end every decoder cleanly: no overrun of their
// tables or windows (the sanitizer build watches), no more output than the entry declares.
#include <gtest/gtest.h>

#include <random>

#include "decoder_harness.h"

namespace qv::unzip::testing {
namespace {

constexpr int kRounds = 3000;

Bytes randomBytes(std::mt19937& random, const Bytes& prefix) {
  Bytes bytes = prefix;
  size_t length = random() % 700;
  for (size_t i = 0; i < length; ++i) bytes.push_back(static_cast<uint8_t>(random()));
  return bytes;
}

void expectBounded(const DecodeRun& run, uint64_t size) {
  EXPECT_LE(run.output.size(), size);
  EXPECT_LE(run.largestWrite, 32768u);
}

TEST(RandomInput, Unshrink) {
  std::mt19937 random(1);
  for (int round = 0; round < kRounds; ++round) {
    DecodeRun run = runDecoder(
        randomBytes(random, {}), [](LegacyDecoderIo& io) { unshrink(io); }, 1 + random() % 64);
    EXPECT_LE(run.largestWrite, 32768u);
  }
}

TEST(RandomInput, Unreduce) {
  std::mt19937 random(2);
  // Empty follower sets let random bits reach the expander instead of failing on a set size.
  Bytes emptySets(192, 0);
  for (int round = 0; round < kRounds; ++round) {
    int factor = 1 + static_cast<int>(random() % 4);
    uint64_t size = random() % 70000;
    Bytes input = randomBytes(random, round % 2 == 0 ? emptySets : Bytes{});
    expectBounded(runDecoder(input, [&](LegacyDecoderIo& io) { unreduce(io, factor, size); }), size);
  }
}

TEST(RandomInput, Explode) {
  std::mt19937 random(3);
  BitWriter header;
  header.byte(15);
  for (int i = 0; i < 16; ++i) header.byte(0xF7);  // 256 literal codes of 8 bits
  for (int tree = 0; tree < 2; ++tree)
    header.byte(3).byte(0xF5).byte(0xF5).byte(0xF5).byte(0xF5);  // 64 of 6 bits
  for (int round = 0; round < kRounds; ++round) {
    uint16_t flags = static_cast<uint16_t>(round % 4 == 0 ? random() : 6);
    uint64_t size = random() % 70000;
    Bytes input = randomBytes(random, round % 4 == 0 ? Bytes{} : header.bytes());
    uint64_t compressedSize = random() % 400000;
    expectBounded(runDecoder(input, [&](LegacyDecoderIo& io) { explode(io, flags, compressedSize, size); }),
                  size);
  }
}

}  // namespace
}  // namespace qv::unzip::testing
