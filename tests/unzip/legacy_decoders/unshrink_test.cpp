// Method 1 on hand-built code streams: each case is one way an LZW decoder goes wrong.
#include <gtest/gtest.h>

#include <initializer_list>

#include "decoder_harness.h"

namespace qv::unzip::testing {
namespace {

// A code stream: plain codes at the current width, and the control sequences that change it.
class ShrinkStream {
 public:
  ShrinkStream& codes(std::initializer_list<unsigned> values) {
    for (unsigned value : values) writer_.bits(value, width_);
    return *this;
  }
  ShrinkStream& widen() {
    writer_.bits(256, width_).bits(1, width_);
    ++width_;
    return *this;
  }
  ShrinkStream& partialClear() {
    writer_.bits(256, width_).bits(2, width_);
    return *this;
  }
  Bytes bytes() const { return writer_.bytes(); }

 private:
  BitWriter writer_;
  unsigned width_ = 9;
};

std::string unshrunk(const ShrinkStream& stream) {
  return text(runDecoder(stream.bytes(), [](LegacyDecoderIo& io) { unshrink(io); }).output);
}

TEST(Unshrink, CodeUsedInTheStepThatDefinesIt) {
  // K, w, then 257 = "Kw", then 259 = "KwK" before the decoder has defined 259.
  ShrinkStream stream;
  stream.codes({'K', 'w', 257, 259, 'w'});
  EXPECT_EQ(unshrunk(stream), "KwKwKwKw");
}

TEST(Unshrink, WidensCodesUpTo13Bits) {
  // Every step defines a code: 257 "ab", 258 "bc", 259 "ca", 260 "abb", 261 "bcc"; the later
  // codes are read at 10, 11, 12 and 13 bits.
  ShrinkStream stream;
  stream.codes({'a', 'b'})
      .widen()
      .codes({'c'})
      .widen()
      .codes({257})
      .widen()
      .codes({258})
      .widen()
      .codes({259, 261});
  EXPECT_EQ(unshrunk(stream), "abcabbccabcc");
}

TEST(Unshrink, WideningPast13BitsIsInvalidData) {
  ShrinkStream valid;
  valid.codes({'x'}).widen().widen().widen().widen().codes({'y'});
  EXPECT_EQ(unshrunk(valid), "xy");

  ShrinkStream tooWide = valid;
  tooWide.widen().codes({'z'});
  EXPECT_EQ(unshrunk(tooWide), "");
}

TEST(Unshrink, UnknownControlCodeIsInvalidData) {
  ShrinkStream stream;
  stream.codes({'x', 256, 3, 'y'});
  EXPECT_EQ(unshrunk(stream), "");
}

TEST(Unshrink, PartialClearFreesLeavesAndReusesLowestCodesFirst) {
  // Before the clear: 257 "ab", 258 "ba", 259 "abc". 257 is the prefix of 259 and survives; 258 and
  // 259 are leaves and are defined again, in that order, as "cd" and "dc".
  ShrinkStream stream;
  stream.codes({'a', 'b', 257, 'c'}).partialClear().codes({'d', 258, 257, 259});
  EXPECT_EQ(unshrunk(stream), "ababcdcdabdc");
}

TEST(Unshrink, CodeUsedInItsOwnStepAfterPartialClear) {
  // After the clear the lowest free code, 258, is the one being defined: "c" + "c".
  ShrinkStream stream;
  stream.codes({'a', 'b', 257, 'c'}).partialClear().codes({258, 257});
  EXPECT_EQ(unshrunk(stream), "ababcccab");
}

TEST(Unshrink, RepeatedPartialClearsFreeTheTreeOneLevelAtATime) {
  // A chain 257 "aa" <- 258 "aaa" <- 259 "aaaa" <- 260 "aaaaa". The first clear frees only its end,
  // 260, which is defined again as "ab". The second frees 259 (its extension went in the first clear)
  // and the new 260, lowest first: 259 "bc", 260 "ca". 258 still extends 259 at that moment and stays.
  ShrinkStream stream;
  stream.codes({'a', 257, 258, 259, 'a'}).partialClear().codes({'b'}).partialClear().codes({'c', 258, 259, 260});
  EXPECT_EQ(unshrunk(stream), "aaaaaaaaaaabcaaabcca");
}

TEST(Unshrink, FreeCodeOtherThanTheNextIsInvalidData) {
  ShrinkStream stream;
  stream.codes({'a', 'b', 300});
  EXPECT_EQ(unshrunk(stream), "");
}

TEST(Unshrink, EmptyInputGivesNothing) {
  EXPECT_EQ(unshrunk(ShrinkStream{}), "");
}

TEST(Unshrink, OutputLeavesInBlocksOf32K) {
  // 'a', then codes 257 to 700, each one byte longer than the last: about three blocks of output.
  ShrinkStream stream;
  stream.codes({'a'});
  for (unsigned code = 257; code < 511; ++code) stream.codes({code});
  stream.widen();
  for (unsigned code = 511; code <= 700; ++code) stream.codes({code});
  DecodeRun run = runDecoder(
      stream.bytes(), [](LegacyDecoderIo& io) { unshrink(io); }, 7);
  EXPECT_EQ(run.output, Bytes(445 * 446 / 2, 'a'));
  EXPECT_EQ(run.largestWrite, 32768u);
  EXPECT_EQ(run.largestRead, 32768u);
}

}  // namespace
}  // namespace qv::unzip::testing
