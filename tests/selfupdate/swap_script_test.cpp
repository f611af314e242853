// The replacement script, line for line: full paths in the delete and start lines, names in the
// program directory in the loops, the code page and line ends of the target machines, and the names
// that would otherwise make the command interpreter do something else.
#include "selfupdate/swap_script.h"

#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/headless/iconv_codec.h"

namespace qv::test {
namespace {

using selfupdate::SwapFiles;
using selfupdate::swapScriptBytes;
using selfupdate::swapScriptLines;

class SwapScriptTest : public ::testing::Test {
 protected:
  platform::headless::IconvCodec big5{950, 950};

  static SwapFiles filesIn(const std::string& directory, const std::string& program = "Quorvane") {
    return {directory + "Quorvane2.exe", directory + program + ".old", directory + program + ".exe",
            directory + "delme.bat"};
  }
};

TEST_F(SwapScriptTest, TheLinesNameTheFilesByFullPathAndLoopOnTheirLocalNames) {
  const std::vector<std::string> expected = {
      "@echo off",
      ":loop",
      "del \"C:\\Games\\Quorvane\\Quorvane2.exe\"",
      "if exist .\\Quorvane2.exe goto wait",
      "del \"C:\\Games\\Quorvane\\Quorvane.old\"",
      "if exist .\\Quorvane.old goto wait",
      "start \"\" \"C:\\Games\\Quorvane\\Quorvane.exe\"",
      "del .\\delme.bat",
      "exit /b",
      ":wait",
      "ping -n 2 127.0.0.1 >nul",
      "goto loop",
  };
  EXPECT_EQ(swapScriptLines(filesIn("C:\\Games\\Quorvane\\"), big5), expected);
}

TEST_F(SwapScriptTest, TheFileIsInTheAnsiCodePageWithCarriageReturnLineFeed) {
  const auto lines = swapScriptLines(filesIn("D:\\遊戲\\工具\\"), big5);
  const std::string bytes = swapScriptBytes(lines, big5);
  // "遊戲" in Big5.
  EXPECT_NE(bytes.find("del \"D:\\\xB9\x43\xC0\xB8\\\xA4\x75\xA8\xE3\\Quorvane2.exe\"\r\n"),
            std::string::npos);
  size_t lineEnds = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (bytes[i] != '\n') continue;
    ASSERT_GT(i, 0u);
    EXPECT_EQ(bytes[i - 1], '\r') << "a line ended by a bare LF at " << i;
    ++lineEnds;
  }
  EXPECT_EQ(lineEnds, lines.size());
  EXPECT_TRUE(bytes.ends_with("goto loop\r\n"));
  EXPECT_EQ(bytes.find("\xE9\x81\x8A"), std::string::npos) << "no UTF-8 left in the file";
}

TEST_F(SwapScriptTest, APercentInAPathIsDoubledSoTheInterpreterKeepsIt) {
  const auto lines = swapScriptLines(filesIn("C:\\100%\\%PATH%\\"), big5);
  EXPECT_EQ(lines[2], "del \"C:\\100%%\\%%PATH%%\\Quorvane2.exe\"");
  EXPECT_EQ(lines[6], "start \"\" \"C:\\100%%\\%%PATH%%\\Quorvane.exe\"");
}

TEST_F(SwapScriptTest, ProgramNamesWithBlanksOrOperatorsAreQuotedInTheLoops) {
  const auto lines = swapScriptLines(filesIn("C:\\Q\\", "Quorvane (1)"), big5);
  EXPECT_EQ(lines[4], "del \"C:\\Q\\Quorvane (1).old\"");
  EXPECT_EQ(lines[5], "if exist \".\\Quorvane (1).old\" goto wait");
  const auto amp = swapScriptLines(filesIn("C:\\Q\\", "Q&A"), big5);
  EXPECT_EQ(amp[5], "if exist \".\\Q&A.old\" goto wait");
}

TEST_F(SwapScriptTest, AFolderTheCodePageCannotHoldIsLeftToTheWorkingDirectory) {
  // Hangul is not in Big5: the full path would turn into question marks and name nothing.
  const auto lines = swapScriptLines(filesIn("C:\\한국\\"), big5);
  EXPECT_EQ(lines[2], "del \".\\Quorvane2.exe\"");
  EXPECT_EQ(lines[4], "del \".\\Quorvane.old\"");
  EXPECT_EQ(lines[6], "start \"\" \".\\Quorvane.exe\"");
  EXPECT_EQ(swapScriptBytes(lines, big5).find('?'), std::string::npos);
}

TEST_F(SwapScriptTest, AProgramNameTheCodePageCannotHoldIsRefused) {
  EXPECT_THROW(swapScriptLines(filesIn("C:\\Q\\", "한"), big5), Error);
}

}  // namespace
}  // namespace qv::test
