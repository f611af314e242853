// The replacement script on a machine whose console code page is not its ANSI one (Western Europe:
// ANSI 1252, console 850). The file is written in the ANSI page but the command interpreter reads it
// in the console's: a program directory named with "é" or "ü" must not turn into another name, or the
// delete loop never ends and the new program never starts.
#include <gtest/gtest.h>

#include "common/error.h"
#include "platform/headless/iconv_codec.h"
#include "selfupdate/swap_script.h"

namespace qv::test {
namespace {

using selfupdate::SwapFiles;
using selfupdate::swapScriptBytes;
using selfupdate::swapScriptLines;

SwapFiles filesIn(const std::string& directory, const std::string& program = "Quorvane") {
  return {directory + "Quorvane2.exe", directory + program + ".old", directory + program + ".exe",
          directory + "delme.bat"};
}

TEST(SwapScriptCodePages, TheTwoWesternPagesReallyPlaceTheseLettersApart) {
  // Without this the cases below would prove nothing.
  const platform::headless::IconvCodec western{1252, 850};
  for (const std::string letter : {"é", "ü"}) {
    const std::string bytes = western.toAnsi(letter);
    ASSERT_EQ(western.fromAnsi(bytes), letter);
    EXPECT_NE(western.fromOem(bytes), letter) << letter;
  }
}

TEST(SwapScriptCodePages, WhatTheConsoleReadsIsWhatWasWritten) {
  const platform::headless::IconvCodec western{1252, 850};
  for (const std::string directory :
       {"C:\\Jeux\\Café\\", "D:\\Spiele\\Müller\\Quorvane\\", "C:\\Games\\Q\\"}) {
    const std::vector<std::string> lines = swapScriptLines(filesIn(directory), western);
    const std::string bytes = swapScriptBytes(lines, western);
    std::string written;
    for (const std::string& line : lines) written += line + "\r\n";
    EXPECT_EQ(western.fromOem(bytes), written) << directory;
    EXPECT_EQ(western.fromAnsi(bytes), written) << directory;
  }
}

TEST(SwapScriptCodePages, APathTheTwoPagesReadApartIsNamedInTheProgramDirectory) {
  const platform::headless::IconvCodec western{1252, 850};
  const auto lines = swapScriptLines(filesIn("C:\\Jeux\\Café\\"), western);
  EXPECT_EQ(lines[2], "del \".\\Quorvane2.exe\"");
  EXPECT_EQ(lines[3], "if exist .\\Quorvane2.exe goto wait");
  EXPECT_EQ(lines[4], "del \".\\Quorvane.old\"");
  EXPECT_EQ(lines[6], "start \"\" \".\\Quorvane.exe\"");
  EXPECT_EQ(lines[7], "del .\\delme.bat");
}

TEST(SwapScriptCodePages, APathOfLettersBothPagesShareKeepsItsFullForm) {
  const platform::headless::IconvCodec western{1252, 850};
  const auto lines = swapScriptLines(filesIn("C:\\Program Files (x86)\\Quorvane\\"), western);
  EXPECT_EQ(lines[2], "del \"C:\\Program Files (x86)\\Quorvane\\Quorvane2.exe\"");
  EXPECT_EQ(lines[6], "start \"\" \"C:\\Program Files (x86)\\Quorvane\\Quorvane.exe\"");
  // Where the two pages are one (the Traditional Chinese machines), Chinese folders stay in full.
  const platform::headless::IconvCodec big5{950, 950};
  EXPECT_EQ(swapScriptLines(filesIn("D:\\遊戲\\"), big5)[2], "del \"D:\\遊戲\\Quorvane2.exe\"");
}

TEST(SwapScriptCodePages, AProgramNameTheTwoPagesReadApartIsRefused) {
  // Its own name is all the script could use, and the console would read another one.
  const platform::headless::IconvCodec western{1252, 850};
  EXPECT_THROW(swapScriptLines(filesIn("C:\\Q\\", "Quorvané"), western), Error);
}

}  // namespace
}  // namespace qv::test
