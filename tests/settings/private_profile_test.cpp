#include "settings/private_profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "test_dir.h"

namespace qv::settings {
namespace {

using platform::headless::IconvCodec;
using platform::headless::PosixFileStamps;
using test::readAll;
using test::TestDir;
using test::writeAll;

class PrivateProfileTest : public ::testing::Test {
 protected:
  TestDir dir;
  IconvCodec big5{950, 950};
  PosixFileStamps stamps;
  std::string path = dir.file("Config.ini");
  PrivateProfile ini{path, big5, stamps};
};

TEST_F(PrivateProfileTest, FirstWriteCreatesTheFileAndLaterWritesKeepOtherLines) {
  ini.writeString("game", "gamepath", "C:\\JX3\\JX3Client.exe");
  EXPECT_EQ(readAll(path), "[game]\r\ngamepath=C:\\JX3\\JX3Client.exe\r\n");

  writeAll(path, "; kept comment\n[Game]\nGAMEPATH = old\nother=1\n\n[updata]\nnum=3\n");
  ini.writeString("game", "gamepath", "new");
  ini.writeBool("updata", "autoupdata", true);
  ini.writeInteger("updataver", "ver", 7);
  EXPECT_EQ(readAll(path),
            "; kept comment\n[Game]\ngamepath=new\nother=1\n\n[updata]\nnum=3\nautoupdata=1\r\n"
            "[updataver]\r\nver=7\r\n");
}

TEST_F(PrivateProfileTest, SectionsAndKeysMatchWithoutCase) {
  writeAll(path, "[GAME]\r\nGamePath=X\r\n[updata]\r\nAUTOUPDATA=2\r\n");
  EXPECT_EQ(ini.readString("game", "gamepath", "d"), "X");
  EXPECT_TRUE(ini.readBool("Updata", "autoupdata", false));
  EXPECT_EQ(ini.readString("game", "missing", "d"), "d");
  EXPECT_EQ(ini.readString("none", "gamepath", "d"), "d");
}

TEST_F(PrivateProfileTest, IntegerReadingFollowsTheHexAndDefaultRules) {
  struct Case {
    const char* value;
    int32_t expected;
  } cases[] = {{"26", 26}, {"0x1A", 26}, {"0X1a", 26}, {"$1A", 26}, {"abc", -5}, {"", -5}, {"0x", -5},
               {"-12", -12}, {"12abc", -5}, {"2147483647", 2147483647}, {"2147483648", -5}, {"0xFFFFFFFF", -1}};
  for (const Case& c : cases) {
    writeAll(path, std::string("[updataver]\r\nver=") + c.value + "\r\n");
    EXPECT_EQ(ini.readInteger("updataver", "ver", -5), c.expected) << "value '" << c.value << "'";
  }
  writeAll(path, "[updata]\r\nautoupdata=0\r\n");
  EXPECT_FALSE(ini.readBool("updata", "autoupdata", true));
  EXPECT_TRUE(ini.readBool("updata", "missing", true));
}

TEST_F(PrivateProfileTest, ChineseValuesAreStoredAsBig5AndReadBack) {
  const std::string game = "D:\\遊戲\\劍網3\\JX3Client.exe";
  ini.writeString("game", "gamepath", game);
  const std::string bytes = readAll(path);
  EXPECT_NE(bytes.find(big5.toAnsi(game)), std::string::npos);
  EXPECT_EQ(bytes.find("遊戲"), std::string::npos) << "UTF-8 bytes must not reach the file";
  EXPECT_EQ(ini.readString("game", "gamepath", ""), game);

  // A Big5 file written by another program, including a character whose second byte is "\".
  writeAll(path, "[game]\r\ngamepath=" + big5.toAnsi("C:\\許功蓋\\JX3Client.exe") + "\r\n");
  EXPECT_EQ(ini.readString("game", "gamepath", ""), "C:\\許功蓋\\JX3Client.exe");
}

TEST_F(PrivateProfileTest, ReadsAreCappedAt2047Characters) {
  writeAll(path, "[game]\r\ngamepath=" + std::string(100000, 'a') + "\r\n");
  EXPECT_EQ(ini.readString("game", "gamepath", "").size(), PrivateProfile::kMaxValueLength);
}

TEST_F(PrivateProfileTest, BadFilesGiveDefaultsAndAreNotTouchedByReads) {
  std::string garbage;
  for (int i = 0; i < 4096; ++i) garbage.push_back(static_cast<char>((i * 7919) & 0xFF));
  const std::string inputs[] = {garbage, "no sections at all\r\ngamepath=x\r\n", std::string(100 * 1024, 'z')};
  for (const std::string& content : inputs) {
    writeAll(path, content);
    EXPECT_EQ(ini.readString("game", "gamepath", "def"), "def");
    EXPECT_EQ(ini.readInteger("updataver", "ver", 0), 0);
    EXPECT_EQ(readAll(path), content);
  }
}

TEST_F(PrivateProfileTest, RefusedWritesRaiseUnableToWriteAndChangeNothing) {
  writeAll(path, "[game]\r\ngamepath=keep\r\n");
  chmod(path.c_str(), 0444);
  try {
    ini.writeString("game", "gamepath", "new");
    FAIL() << "a read-only file was written";
  } catch (const IniWriteError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
  }
  EXPECT_EQ(readAll(path), "[game]\r\ngamepath=keep\r\n");

  const std::string asDirectory = dir.file("Dir.ini");
  std::filesystem::create_directory(asDirectory);
  PrivateProfile dirIni(asDirectory, big5, stamps);
  EXPECT_EQ(dirIni.readString("game", "gamepath", "def"), "def");
  EXPECT_THROW(dirIni.writeString("game", "gamepath", "x"), IniWriteError);
  EXPECT_TRUE(std::filesystem::is_directory(asDirectory));

  PrivateProfile nowhere(dir.file("missing-dir/Config.ini"), big5, stamps);
  EXPECT_THROW(nowhere.writeString("game", "gamepath", "x"), IniWriteError);
}

}  // namespace
}  // namespace qv::settings
