// Asking the code pages whether a text survives the trip into them: what the settings dialog checks a
// game path with before writing it to the Big5 settings file.
#include <gtest/gtest.h>

#include <string>

#include "platform/headless/iconv_codec.h"

namespace qv::test {
namespace {

using platform::headless::IconvCodec;
using platform::headless::kUtf8CodePage;

class CodecTest : public ::testing::Test {
 protected:
  IconvCodec big5{950, 950};
};

TEST_F(CodecTest, Big5HoldsTraditionalChineseAndAsciiButNotSimplifiedOrAccentedLetters) {
  EXPECT_TRUE(big5.ansiHolds("C:\\遊戲\\劍網3\\JX3Client.exe"));
  EXPECT_TRUE(big5.ansiHolds("C:\\許功蓋\\JX3Client.exe"));  // trail bytes that look like "\" and "@"
  EXPECT_TRUE(big5.ansiHolds(""));
  EXPECT_TRUE(big5.ansiHolds("why?"));  // a question mark of its own is no loss
  EXPECT_FALSE(big5.ansiHolds("D:\\张三\\JX3\\JX3Client.exe"));
  EXPECT_FALSE(big5.ansiHolds("D:\\Café\\JX3Client.exe"));
  EXPECT_FALSE(big5.ansiHolds("D:\\遊戲 ⚔\\JX3Client.exe"));
}

TEST_F(CodecTest, AMissingCharacterFarIntoALongTextIsStillFound) {
  // Beyond the first buffer of converted bytes, where a conversion in pieces goes on.
  const std::string longPath = "D:\\" + [] {
    std::string s;
    for (int i = 0; i < 3000; ++i) s += "遊";
    return s;
  }();
  EXPECT_TRUE(big5.ansiHolds(longPath));
  EXPECT_FALSE(big5.ansiHolds(longPath + "张"));
}

TEST_F(CodecTest, BytesThatAreNotUtf8NeverConvertWithoutLoss) {
  EXPECT_FALSE(big5.convertsWithoutLoss(950, "D:\\\xff\xfe"));
  EXPECT_FALSE(big5.convertsWithoutLoss(kUtf8CodePage, "D:\\\xe5\x8a"));  // a character cut short
  EXPECT_TRUE(big5.convertsWithoutLoss(kUtf8CodePage, "D:\\张三\\⚔"));
}

// The answer matches what the conversion really does: what converts without loss comes back
// unchanged, what does not comes back different.
TEST_F(CodecTest, TheAnswerAgreesWithTheRoundTrip) {
  for (const std::string text : {"C:\\遊戲\\劍網3", "D:\\张三", "Café", "€", "½", "ｱ", "丄", "abc?", "〇"}) {
    const bool lossless = big5.ansiHolds(text);
    EXPECT_EQ(big5.fromAnsi(big5.toAnsi(text)) == text, lossless) << text;
  }
}

}  // namespace
}  // namespace qv::test
