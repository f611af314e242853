// The system's own code page conversion, asked whether a text survives the trip into the ANSI code
// page (950, Big5, in the suite's Traditional Chinese locale): what the settings dialog checks a game
// path with before it writes the path to the settings file.
#include <gtest/gtest.h>

#include <string>

#include "platform/win32/win32_codec.h"

namespace qv::in_process {
namespace {

class Win32CodecTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(codec.ansiCodePage(), 950u) << "the suite runs in a Big5 locale"; }
  platform::win32::Win32Codec codec;
};

TEST_F(Win32CodecTest, Big5HoldsTraditionalChineseAndAsciiButNotSimplifiedOrAccentedLetters) {
  EXPECT_TRUE(codec.ansiHolds("C:\\遊戲\\劍網3\\JX3Client.exe"));
  EXPECT_TRUE(codec.ansiHolds("C:\\許功蓋\\JX3Client.exe"));
  EXPECT_TRUE(codec.ansiHolds(""));
  EXPECT_TRUE(codec.ansiHolds("why?"));  // a question mark of its own is no loss
  EXPECT_FALSE(codec.ansiHolds("D:\\张三\\JX3\\JX3Client.exe"));
  EXPECT_FALSE(codec.ansiHolds("D:\\遊戲 ⚔\\JX3Client.exe"));
}

// The system would write "e" for "é" without a word (a best fit); that is a loss all the same.
TEST_F(Win32CodecTest, ALookAlikeTheSystemWouldPutInIsALoss) {
  EXPECT_FALSE(codec.ansiHolds("D:\\Café\\JX3Client.exe"));
  EXPECT_NE(codec.fromAnsi(codec.toAnsi("Café")), "Café") << codec.toAnsi("Café");
}

TEST_F(Win32CodecTest, BytesThatAreNotUtf8NeverConvertWithoutLoss) {
  EXPECT_FALSE(codec.convertsWithoutLoss(950, "D:\\\xff\xfe"));
  EXPECT_FALSE(codec.convertsWithoutLoss(65001, "D:\\\xe5\x8a"));
  EXPECT_TRUE(codec.convertsWithoutLoss(65001, "D:\\张三\\⚔"));
}

TEST_F(Win32CodecTest, TheAnswerAgreesWithTheRoundTrip) {
  for (const std::string text : {"C:\\遊戲\\劍網3", "D:\\张三", "Café", "€", "½", "ｱ", "abc?", "〇"}) {
    const bool lossless = codec.ansiHolds(text);
    EXPECT_EQ(codec.fromAnsi(codec.toAnsi(text)) == text, lossless) << text;
  }
}

}  // namespace
}  // namespace qv::in_process
