// Names from archivers that write UTF-8 without saying so: Info-ZIP's Unicode Path field (0x7075),
// and the raw UTF-8 names that Unix and macOS archivers store. Everything else keeps its code page.
#include <gtest/gtest.h>

#include "test_support.h"
#include "unzip/entry_names.h"

namespace qv::unzip::test {
namespace {

constexpr uint16_t kUnix = (3 << 8) | 30;
constexpr uint16_t kMacOs = (19 << 8) | 30;
constexpr uint16_t kMsDos = 20;

// "界面" and "許功蓋" in UTF-8 and in Big5 (code page 950).
const std::string kJiemianUtf8 = "界面";
const std::string kJiemianBig5 = "\xAC\xC9\xAD\xB1";
const std::string kXuUtf8 = "許功蓋";
const std::string kXuBig5 = "\xB3\x5C\xA5\x5C\xBB\x5C";

// An Info-ZIP Unicode Path block: version, CRC-32 of the header's stored name, the UTF-8 name.
std::string unicodePathBlock(const std::string& utf8, uint32_t nameCrc, uint8_t version = 1) {
  std::string block;
  putLe(block, 0x7075, 2);
  putLe(block, 5 + utf8.size(), 2);
  block += static_cast<char>(version);
  putLe(block, nameCrc, 4);
  return block + utf8;
}

class UnixNamesTest : public UnzipTest {
 protected:
  void SetUp() override {
    UnzipTest::SetUp();
    codec.setCodePages(950, 950);  // a Traditional Chinese Windows
  }
  std::vector<std::string> namesOf(const std::string& bytes) {
    writeFile(at("n.zip"), bytes);
    TUnZip u(codec, stamps);
    u.setZipName(at("n.zip"));
    u.ReadDirectory();
    std::vector<std::string> names;
    for (int i = 0; i < u.Count(); ++i) names.push_back(u.Entry(i).directory + u.Entry(i).filename);
    return names;
  }
};

TEST_F(UnixNamesTest, UnicodePathFieldNamesTheEntryOnlyWhenItBelongsToTheStoredName) {
  const std::string stored = "_/_.lua";  // what an archiver writes where the code page has no letters
  ZipWriter w;
  w.add({.name = stored, .data = "1", .extra = unicodePathBlock(kJiemianUtf8 + "/main.lua", crcOf(stored))});
  // A field from before another tool renamed the entry: its CRC is of another name.
  w.add({.name = kXuBig5 + ".lua", .data = "2", .extra = unicodePathBlock("old.lua", crcOf("old.lua"))});
  // A version this engine does not know.
  w.add({.name = "v2.lua", .data = "3", .extra = unicodePathBlock("新.lua", crcOf("v2.lua"), 2)});
  // Too short to hold a version and a CRC.
  std::string stub;
  putLe(stub, 0x7075, 2);
  putLe(stub, 3, 2);
  stub += "\x01\x00\x00";
  w.add({.name = "short.lua", .data = "4", .extra = stub});
  EXPECT_EQ(namesOf(w.finish()),
            (std::vector<std::string>{kJiemianUtf8 + "\\main.lua", kXuUtf8 + ".lua", "v2.lua", "short.lua"}));
}

TEST_F(UnixNamesTest, UnicodePathFieldIsFoundAmongOtherBlocksAndABlockRunningPastTheFieldIsNone) {
  const std::string stored = "a.lua";
  std::string other;
  putLe(other, 0x5455, 2);  // extended timestamp, skipped by its size
  putLe(other, 5, 2);
  other += std::string("\x01\x00\x00\x00\x00", 5);
  ZipWriter w;
  w.add({.name = stored, .data = "1", .extra = other + unicodePathBlock("甲.lua", crcOf(stored))});
  std::string overlong = unicodePathBlock("乙.lua", crcOf("b.lua"));
  overlong[2] = '\x40';  // declares more bytes than the field holds
  w.add({.name = "b.lua", .data = "2", .extra = overlong});
  EXPECT_EQ(namesOf(w.finish()), (std::vector<std::string>{"甲.lua", "b.lua"}));
}

TEST_F(UnixNamesTest, UnixAndMacOsHostsStoreRawUtf8WhichIsReadAsUtf8) {
  ZipWriter w;
  w.add({.name = kJiemianUtf8 + "/", .data = "", .method = 0, .versionMadeBy = kUnix});
  w.add({.name = kJiemianUtf8 + "/" + kXuUtf8 + ".lua", .data = "1", .versionMadeBy = kUnix});
  w.add({.name = kXuUtf8 + ".ini", .data = "2", .versionMadeBy = kMacOs});
  // A Unix host's name that is not UTF-8 at all (Big5 from a Big5 locale) keeps the code page.
  w.add({.name = kXuBig5 + ".txt", .data = "3", .versionMadeBy = kUnix});
  EXPECT_EQ(namesOf(w.finish()),
            (std::vector<std::string>{kJiemianUtf8 + "\\", kJiemianUtf8 + "\\" + kXuUtf8 + ".lua",
                                      kXuUtf8 + ".ini", kXuUtf8 + ".txt"}));
}

TEST_F(UnixNamesTest, AnMsDosNameStaysInItsCodePageEvenWhereItsBytesAlsoSpellUtf8) {
  // Big5 C2 A1 is "癒"; the same two bytes are "¡" in UTF-8.
  ZipWriter w;
  w.add({.name = kJiemianBig5 + "/a.lua", .data = "1", .versionMadeBy = kMsDos});
  w.add({.name = "\xC2\xA1.txt", .data = "2", .versionMadeBy = kMsDos});
  w.add({.name = "\xC2\xA1.txt", .data = "3", .versionMadeBy = kUnix});
  EXPECT_EQ(namesOf(w.finish()), (std::vector<std::string>{kJiemianUtf8 + "\\a.lua", "癒.txt", "¡.txt"}));
}

TEST_F(UnixNamesTest, TheRecoveryScanReadsTheFieldFromTheLocalHeader) {
  const std::string stored = "x.lua";
  ZipWriter w;
  w.add({.name = stored, .data = "1", .extra = unicodePathBlock("丙.lua", crcOf(stored))});
  w.add({.name = kJiemianUtf8 + ".lua", .data = "2", .versionMadeBy = kUnix});
  // The scan sees only local headers, which carry no host: a raw UTF-8 name there falls to the page.
  const auto names = namesOf(withDamagedDirectory(w.finish()));
  ASSERT_EQ(names.size(), 2u);
  EXPECT_EQ(names[0], "丙.lua");
}

TEST_F(UnixNamesTest, AnArchiveFromInfoZipOnLinuxUnpacksIntoTheFoldersTheGameUses) {
  ZipWriter w;
  w.add({.name = kJiemianUtf8 + "/", .data = "", .method = 0, .versionMadeBy = kUnix});
  w.add({.name = kJiemianUtf8 + "/" + kXuUtf8 + ".lua", .data = "return 1\n", .versionMadeBy = kUnix});
  w.add({.name = "_.ini", .data = "[x]\n", .extra = unicodePathBlock("設定.ini", crcOf("_.ini"))});
  int count = 0;
  ASSERT_TRUE(unzipFile(archive(w), at("out"), &count));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(tree(at("out")),
            (std::set<std::string>{kJiemianUtf8 + "/", kJiemianUtf8 + "/" + kXuUtf8 + ".lua", "設定.ini"}));
}

}  // namespace
}  // namespace qv::unzip::test
