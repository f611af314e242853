// Method 6 on hand-built streams: tree descriptions, the format's bit order of Shannon-Fano codes,
// both dictionary sizes and both tree counts.
#include <gtest/gtest.h>

#include <algorithm>

#include "decoder_harness.h"

namespace qv::unzip::testing {
namespace {

constexpr uint16_t kTwoTrees4K = 0;
constexpr uint16_t kThreeTrees8K = 6;

// 64 codes: 0 has 1 bit, 1 has 2, 2 and 3 have 7, 4 to 63 have 8. Worked out by hand from the
// format's assignment (longest codes count up from zero, sent from their top bit), the codes are
// 0 "1", 1 "01", 2 "0011111", 3 "0011110", 4 "00111011", 63 "00000000".
BitWriter& unevenTree(BitWriter& w) {
  return w.byte(6).byte(0x00).byte(0x01).byte(0x16).byte(0xF7).byte(0xF7).byte(0xF7).byte(0xB7);
}

// 256 literal codes of 8 bits: literal c is sent as 255 - c, top bit first.
BitWriter& flatLiteralTree(BitWriter& w) {
  w.byte(15);
  for (int i = 0; i < 16; ++i) w.byte(0xF7);
  return w;
}

std::string literalCode(uint8_t c) {
  std::string digits;
  for (int bit = 7; bit >= 0; --bit) digits += ((255 - c) >> bit) & 1 ? '1' : '0';
  return digits;
}

DecodeRun exploded(const Bytes& input, uint16_t flags, uint64_t size, uint64_t compressedSize = 1000) {
  return runDecoder(input, [&](LegacyDecoderIo& io) { explode(io, flags, compressedSize, size); });
}

// Two trees, 4K: raw literals, 6 low distance bits, minimum match 2.
Bytes twoTreeStream() {
  BitWriter w;
  unevenTree(unevenTree(w));
  w.bits(0, 1).bits(0, 6).code("0011111").code("1");   // distance 2*64 + 1, length 0 + 2: before the start
  w.bits(1, 1).byte('a').bits(1, 1).byte('b');         // literals
  w.bits(0, 1).bits(1, 6).code("1").code("01");        // distance 2, length 3
  w.bits(0, 1).bits(4, 6).code("1").code("00111011");  // distance 5, length 6, overlapping
  w.bits(0, 1).bits(0, 6).code("1").code("00000000").byte(5);  // length code 63 + 5 + 2
  w.bits(0, 1).bits(0, 6).code("00000000").code("01");  // distance 63*64 + 1, length 3: before the start
  return w.bytes();
}

Bytes twoTreeOutput() {
  std::string out =
      std::string(2, '\0') + "ab" + "aba" + "ababaa" + std::string(70, 'a') + std::string(3, '\0');
  return bytesOf(out);
}

TEST(Explode, TwoTreesWithRawLiterals) {
  DecodeRun run = exploded(twoTreeStream(), kTwoTrees4K, 86);
  EXPECT_EQ(run.output, twoTreeOutput());
  EXPECT_FALSE(run.outOfMemory);
}

TEST(Explode, ThreeTreesWithLiteralTreeAnd8KDictionary) {
  BitWriter w;
  unevenTree(unevenTree(flatLiteralTree(w)));
  w.bits(1, 1).code(literalCode('a'));
  w.bits(0, 1).bits(0, 7).code("1").code("1");  // distance 1, length 0 + 3
  w.bits(1, 1).code(literalCode('b'));
  w.bits(0, 1).bits(4, 7).code("1").code("01");  // distance 5 (7 low bits), length 1 + 3
  w.bits(0, 1).bits(0, 7).code("01").code("1");  // distance 128 + 1: before the start
  EXPECT_EQ(text(exploded(w.bytes(), kThreeTrees8K, 12).output),
            std::string("aaaabaaaa") + std::string(3, '\0'));
}

TEST(Explode, DistanceTableWidthDoesNotChangeTheResult) {
  EXPECT_EQ(exploded(twoTreeStream(), kTwoTrees4K, 86, 200000).output, twoTreeOutput());
  EXPECT_EQ(exploded(twoTreeStream(), kTwoTrees4K, 86, 200001).output, twoTreeOutput());
}

TEST(Explode, StopsAtTheUncompressedSize) {
  Bytes expected = twoTreeOutput();
  expected.resize(30);
  EXPECT_EQ(exploded(twoTreeStream(), kTwoTrees4K, 30).output, expected);
}

TEST(Explode, InvalidTreeDescriptionsGiveNoOutput) {
  struct Case {
    const char* defect;
    Bytes lengthTree;
  };
  const Case cases[] = {
      {"65 length codes", {4, 0xF5, 0xF5, 0xF5, 0xF5, 0x05}},
      {"63 length codes", {3, 0xF5, 0xF5, 0xF5, 0xE5}},
      {"64 codes of 1 bit", {3, 0xF0, 0xF0, 0xF0, 0xF0}},
      {"oversubscribed lengths", {4, 0x00, 0xF5, 0xF5, 0xF5, 0xE5}},
      {"a short code the assignment cannot align", {4, 0x01, 0xF7, 0xF7, 0xF7, 0xE7}},
  };
  for (const Case& c : cases) {
    BitWriter w;
    for (uint8_t b : c.lengthTree) w.byte(b);
    unevenTree(w).bits(1, 1).byte('a').bits(1, 1).byte('b');
    DecodeRun run = exploded(w.bytes(), kTwoTrees4K, 2);
    EXPECT_TRUE(run.output.empty()) << c.defect;
    EXPECT_EQ(run.writes, 0u) << c.defect;
    EXPECT_FALSE(run.outOfMemory) << c.defect;
  }
}

TEST(Explode, InputEndingEarlyKeepsTheDecodedPrefix) {
  Bytes stream = twoTreeStream();
  stream.resize(stream.size() - 3);
  Bytes output = exploded(stream, kTwoTrees4K, 86).output;
  Bytes expected = twoTreeOutput();
  ASSERT_LT(output.size(), expected.size());
  EXPECT_TRUE(std::equal(output.begin(), output.end(), expected.begin()));
}

TEST(Explode, ErrorsFromReadAndWritePassThrough) {
  // The archive file ends inside the entry's data: the reader raises, and so does the decoder.
  struct PrematureEnd {};
  struct DiskFull {};
  Bytes stream = twoTreeStream();
  stream.resize(stream.size() / 2);
  LegacyDecoderIo io;
  io.read = [&](uint8_t* buffer, size_t capacity) -> size_t {
    if (stream.empty()) throw PrematureEnd{};
    size_t count = std::min(capacity, stream.size());
    std::copy_n(stream.begin(), count, buffer);
    stream.erase(stream.begin(), stream.begin() + static_cast<std::ptrdiff_t>(count));
    return count;
  };
  io.write = [](const uint8_t*, size_t) {};
  EXPECT_THROW(explode(io, kTwoTrees4K, 1000, 86), PrematureEnd);

  runDecoder(twoTreeStream(), [&](LegacyDecoderIo& memory) {
    memory.write = [](const uint8_t*, size_t) { throw DiskFull{}; };
    EXPECT_THROW(explode(memory, kTwoTrees4K, 1000, 86), DiskFull);
  });
}

}  // namespace
}  // namespace qv::unzip::testing
