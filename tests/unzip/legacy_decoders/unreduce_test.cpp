// Methods 2 to 5 on hand-built streams: follower sets, the DLE expander and its back-references.
#include <gtest/gtest.h>

#include <map>

#include "decoder_harness.h"

namespace qv::unzip::testing {
namespace {

// Follower sets for the byte values 255 down to 0; `sets` names the non-empty ones.
BitWriter followerSets(const std::map<uint8_t, Bytes>& sets = {}) {
  BitWriter writer;
  for (int value = 255; value >= 0; --value) {
    auto found = sets.find(static_cast<uint8_t>(value));
    if (found == sets.end()) {
      writer.bits(0, 6);
      continue;
    }
    writer.bits(static_cast<uint32_t>(found->second.size()), 6);
    for (uint8_t follower : found->second) writer.byte(follower);
  }
  return writer;
}

// Bytes coded as 8-bit literals after all-empty follower sets.
Bytes literalStream(const Bytes& intermediate) {
  BitWriter writer = followerSets();
  for (uint8_t byte : intermediate) writer.byte(byte);
  return writer.bytes();
}

Bytes unreduced(const Bytes& input, int factor, uint64_t size) {
  return runDecoder(input, [&](LegacyDecoderIo& io) { unreduce(io, factor, size); }).output;
}

TEST(Unreduce, EmptyFollowerSetsMeanPlainBytes) {
  for (int factor = 1; factor <= 4; ++factor) {
    EXPECT_EQ(text(unreduced(literalStream(bytesOf("reduce")), factor, 6)), "reduce") << "factor " << factor;
  }
}

TEST(Unreduce, FollowerIndexOrEscapedLiteral) {
  // Byte 0 (the byte before the first) has followers q, r, s: index 2 (2 bits) is 's'. 's' has
  // one follower, 't': flag 0 and a 1-bit index. Then flag 1 escapes to the literal 'u'.
  BitWriter writer = followerSets({{0, bytesOf("qrs")}, {'s', bytesOf("t")}, {'t', bytesOf("x")}});
  writer.bits(0, 1).bits(2, 2).bits(0, 1).bits(0, 1).bits(1, 1).byte('u');
  EXPECT_EQ(text(unreduced(writer.bytes(), 1, 3)), "stu");
}

TEST(Unreduce, FollowerIndexPastTheSetIsInvalidData) {
  BitWriter writer = followerSets({{0, bytesOf("qrs")}});
  writer.bits(0, 1).bits(3, 2);
  EXPECT_EQ(text(unreduced(writer.bytes(), 1, 1)), "");
}

TEST(Unreduce, FollowerSetLargerThan32IsInvalidData) {
  BitWriter writer;
  writer.bits(33, 6);
  for (int i = 0; i < 33; ++i) writer.byte('a');
  EXPECT_EQ(text(unreduced(writer.bytes(), 1, 1)), "");
}

TEST(Unreduce, DleFollowedByZeroIsOneLiteral144) {
  Bytes expected = {'x', 144, 'y'};
  EXPECT_EQ(unreduced(literalStream({'x', 144, 0, 'y'}), 2, 3), expected);
}

TEST(Unreduce, ReferenceBeforeTheFirstByteYieldsZeros) {
  // Factor 1: length part 1 (4 bytes), distance 9 + 1 = 10, with nothing produced yet.
  Bytes expected = {0, 0, 0, 0, 'z'};
  EXPECT_EQ(unreduced(literalStream({144, 1, 9, 'z'}), 1, 5), expected);
}

TEST(Unreduce, OverlappingReferenceRepeatsTheRun) {
  // Factor 1, length part 1 (4 bytes), distance 0 + 1: the last byte four more times.
  EXPECT_EQ(text(unreduced(literalStream(Bytes{'a', 'b', 144, 1, 0}), 1, 6)), "abbbbb");
}

TEST(Unreduce, DistanceHighBitsFollowTheFactor) {
  // 300 bytes of a counting pattern, then a 3-byte reference 300 bytes back: the distance's high
  // part (1) sits above the length bits, which the factor sizes (7, 6, 5 or 4 bits).
  Bytes prefix;
  for (int i = 0; i < 300; ++i) prefix.push_back(static_cast<uint8_t>(i % 143));
  for (int factor = 1; factor <= 4; ++factor) {
    Bytes intermediate = prefix;
    intermediate.insert(intermediate.end(), {144, static_cast<uint8_t>(1 << (8 - factor)), 299 - 256});
    Bytes expected = prefix;
    expected.insert(expected.end(), prefix.begin(), prefix.begin() + 3);
    EXPECT_EQ(unreduced(literalStream(intermediate), factor, 303), expected) << "factor " << factor;
  }
}

TEST(Unreduce, FullLengthPartTakesAnExtraLengthByte) {
  // Factor 4: length part 15 says a length byte follows; 15 + 10 + 3 = 28 copies of 'k'.
  Bytes expected(29, 'k');
  EXPECT_EQ(unreduced(literalStream({'k', 144, 0x0F, 10, 0}), 4, 29), expected);
}

TEST(Unreduce, StopsAtTheUncompressedSize) {
  // A reference longer than what is left is cut; bytes after it are not read.
  EXPECT_EQ(text(unreduced(literalStream({'a', 144, 0x7F, 200, 0, 'b'}), 1, 50)), std::string(50, 'a'));
  EXPECT_EQ(text(unreduced(literalStream(bytesOf("abcdef")), 1, 4)), "abcd");
}

TEST(Unreduce, InputEndingEarlyKeepsWhatWasDecoded) {
  EXPECT_EQ(text(unreduced(literalStream(bytesOf("abc")), 1, 10)), "abc");
}

}  // namespace
}  // namespace qv::unzip::testing
