// Extraction: where entries go, what replaces what, and what a bad entry leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "test_support.h"
#include "unzip/zip_errors.h"

namespace qv::unzip::test {
namespace {

using Tree = std::set<std::string>;

class ExtractTest : public UnzipTest {};

TEST_F(ExtractTest, ProgramSettingsRecreateTheTreeAndCountDirectories) {
  ZipWriter w;
  w.add({.name = "Addon/", .data = "", .method = 0, .externalAttributes = 0x10});
  w.add({.name = "Addon/sub/a.lua", .data = "print(1)"});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w), at("Interface") + "/", &count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(tree(at("Interface")), (Tree{"Addon/", "Addon/sub/", "Addon/sub/a.lua"}));
  EXPECT_EQ(readFile(at("Interface/Addon/sub/a.lua")), "print(1)");
  EXPECT_EQ(stamps.dosDateTime(at("Interface/Addon/sub/a.lua")), FixtureEntry{}.dosDateTime);
}

TEST_F(ExtractTest, RootedAndDriveNamesLandBelowTheDestination) {
  ZipWriter w;
  w.add({.name = "\\abs\\x.lua", .data = "1"});
  w.add({.name = "C:/x/y.lua", .data = "2"});
  w.add({.name = "/etc/z.lua", .data = "3"});
  EXPECT_TRUE(unzipFile(archive(w), at("out")));
  EXPECT_EQ(tree(at("out")), (Tree{"abs/", "abs/x.lua", "x/", "x/y.lua", "etc/", "etc/z.lua"}));
}

TEST_F(ExtractTest, NamesThatWouldLeaveTheDestinationAreSkipped) {
  ZipWriter w;
  for (const char* name : {"../evil.txt", "a/../../evil2.txt", "..\\evil3.txt", "a/.. /evil4.txt", "a/b:c/d.txt",
                           "a/...", "ok/../"})
    w.add({.name = name, .data = "bad"});
  w.add({.name = "good/./fine.txt", .data = "good"});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w), at("d/out"), &count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(tree(at("d")), (Tree{"out/", "out/good/", "out/good/fine.txt"}));
  EXPECT_EQ(tree(root_.string()).count("evil.txt"), 0u);
}

TEST_F(ExtractTest, WindowsDeviceNamesAreRefusedAsAnyPartOfAPath) {
  ZipWriter w;
  for (const char* name : {"CON", "prn.txt", "Aux.tar.gz", "nul .lua", "NUL.", "com1", "LPT9.ini", "lpt1 . txt",
                           "sub/con/x.lua", "COM3/y.lua", "conin$", "COM\xC2\xB9.txt"})
    w.add({.name = name, .data = "device"});
  for (const char* name : {"CONSOLE.txt", "com10.lua", "lpt0", "nul_x.txt", "sub/auxiliary/z.lua"})
    w.add({.name = name, .data = "file"});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w), at("out"), &count));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(tree(at("out")), (Tree{"CONSOLE.txt", "com10.lua", "lpt0", "nul_x.txt", "sub/", "sub/auxiliary/",
                                   "sub/auxiliary/z.lua"}));
}

TEST_F(ExtractTest, SymbolicLinkEntriesBecomePlainFiles) {
  ZipWriter w;
  const uint32_t linkMode = 0120777u << 16;
  w.add({.name = "link", .data = "/etc/passwd", .method = 0, .versionMadeBy = (3 << 8) | 30, .externalAttributes = linkMode});
  w.add({.name = "link/inside.txt", .data = "through the link?"});
  EXPECT_TRUE(unzipFile(archive(w), at("out")));
  EXPECT_FALSE(std::filesystem::is_symlink(at("out/link")));
  EXPECT_EQ(readFile(at("out/link")), "/etc/passwd");
  EXPECT_EQ(tree(at("out")), (Tree{"link"}));  // the second entry cannot go below a file
}

// Text that deflate cannot shrink to nothing.
std::string noise(size_t n) {
  std::string s;
  uint32_t x = 12345;
  while (s.size() < n) {
    x = x * 1103515245u + 12345u;
    s += static_cast<char>('a' + (x >> 16) % 26);
  }
  return s;
}

TEST_F(ExtractTest, FailedEntriesLeaveNoFileAndKeepTheFileTheyWouldReplace) {
  ZipWriter w;
  w.add({.name = "badcrc.txt", .data = "new data", .crc = 0x12345678});
  w.add({.name = "cut.txt", .data = noise(5000), .compressed = deflateRaw(noise(5000)).substr(0, 1000)});
  w.add({.name = "short.txt", .data = "declared longer", .method = 0, .declaredSize = 100});
  w.add({.name = "long.txt", .data = "more than declared", .method = 0, .declaredSize = 4});
  w.add({.name = "after.txt", .data = "still extracted"});
  const std::string zip = archive(w);
  std::filesystem::create_directories(at("out"));
  for (const char* name : {"badcrc.txt", "cut.txt", "short.txt", "long.txt"}) writeFile(at("out/") + name, "old");
  int count = 0;
  EXPECT_TRUE(unzipFile(zip, at("out"), &count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(tree(at("out")), (Tree{"badcrc.txt", "cut.txt", "short.txt", "long.txt", "after.txt"}));
  for (const char* name : {"badcrc.txt", "cut.txt", "short.txt", "long.txt"}) EXPECT_EQ(readFile(at("out/") + name), "old") << name;

  // Without an earlier file, nothing at all remains.
  std::filesystem::remove_all(at("out"));
  EXPECT_TRUE(unzipFile(zip, at("out")));
  EXPECT_EQ(tree(at("out")), (Tree{"after.txt"}));
}

TEST_F(ExtractTest, HostileDeclaredSizeDoesNotGrowTheFile) {
  ZipWriter w;
  w.add({.name = "huge.bin", .data = "tiny", .declaredSize = 0xFFFFFFF0ull});
  EXPECT_TRUE(unzipFile(archive(w), at("out")));
  EXPECT_EQ(tree(at("out")), Tree{});  // size mismatch: the entry fails, and nothing big was ever made
}

TEST_F(ExtractTest, DataRunningPastTheEndAreRefusedBeforeAnythingIsWritten) {
  ZipWriter w;
  w.add({.name = "first.txt", .data = "1", .method = 0});
  w.add({.name = "second.txt", .data = std::string(10000, 's'), .method = 0});
  std::string bytes = w.finish();
  // Make the second entry claim more stored bytes than the archive holds.
  const size_t cd = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02") + 4);
  bytes[cd + 22] = '\x7F';  // compressed size high byte
  writeFile(at("t.zip"), bytes);
  std::filesystem::create_directories(at("out"));
  writeFile(at("out/second.txt"), "old");
  TUnZip u(codec, stamps);
  u.setZipName(at("t.zip"));
  u.setDestDir(at("out/new"));
  u.DoAll = true;
  u.OverwriteMode = TUZOverwriteMode::Always;
  int completed = -1;
  u.OnUnZipComplete = [&](TUnZip&, int n) { completed = n; };
  try {
    u.ExtractFiles();
    FAIL() << "no error";
  } catch (const EBadZipFile& e) {
    EXPECT_STREQ(e.what(), "Not a valid zip file! The data of \"second.txt\" run past the end of the archive.");
  }
  EXPECT_EQ(completed, 0);  // still raised
  EXPECT_TRUE(u.FilesList.empty());
  EXPECT_EQ(tree(at("out")), (Tree{"second.txt"}));  // not even the destination was made
  EXPECT_EQ(readFile(at("out/second.txt")), "old");
  int count = -1;
  EXPECT_FALSE(unzipFile(at("t.zip"), at("out2"), &count));
  EXPECT_EQ(count, 0);
  EXPECT_FALSE(std::filesystem::exists(at("out2")));
}

TEST_F(ExtractTest, CorruptDeflateDataEndsTheRunWithZlibError) {
  ZipWriter w;
  w.add({.name = "bad.txt", .data = "x", .compressed = std::string("\xFF\xFF\xFF\xFF", 4)});
  w.add({.name = "next.txt", .data = "y"});
  TUnZip u(codec, stamps);
  u.setZipName(archive(w));
  u.setDestDir(at("out"));
  u.DoAll = true;
  try {
    u.ExtractFiles();
    FAIL() << "no error";
  } catch (const EZCompressionError& e) {
    EXPECT_STREQ(e.what(), "error");
  }
  EXPECT_EQ(tree(at("out")), Tree{});
}

TEST_F(ExtractTest, UnknownMethodShowsOneBoxAndTheRunGoesOn) {
  ZipWriter w;
  w.add({.name = "m9.bin", .data = "abc", .method = 9, .compressed = "abc"});
  w.add({.name = "empty9.bin", .data = "", .method = 9, .compressed = ""});
  w.add({.name = "after.txt", .data = "z"});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w), at("out"), &count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(tree(at("out")), (Tree{"after.txt"}));
  EXPECT_EQ(boxCount, 2);
  EXPECT_EQ(boxes, (std::set<std::string>{"Zip Error|Unknown Compression Method"}));
}

TEST_F(ExtractTest, EncryptedEntriesNeedTheirPassword) {
  ZipWriter w;
  w.add({.name = "plain1.txt", .data = "p1"});
  w.add({.name = "secret.txt", .data = "classified", .password = "pw"});
  w.add({.name = "secret_dd.txt", .data = "also classified", .password = "pw", .dataDescriptor = true});
  w.add({.name = "plain2.txt", .data = "p2"});
  const std::string zip = archive(w);
  int count = 0;
  EXPECT_TRUE(unzipFile(zip, at("out"), &count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(tree(at("out")), (Tree{"plain1.txt", "plain2.txt"}));
  EXPECT_EQ(boxCount, 0);

  TUnZip u(codec, stamps);
  u.setZipName(zip);
  u.setDestDir(at("pw"));
  u.DoAll = true;
  std::vector<TSkipReason> skipped;
  u.OnSkippingFile = [&](TUnZip&, TSkipReason r, const std::string&, int, bool&) { skipped.push_back(r); };
  int asked = 0;
  u.OnBadPassword = [&](TUnZip&, int, std::string& np) { np = asked++ == 0 ? "pw" : ""; };
  EXPECT_EQ(u.ExtractFiles(), 4);
  EXPECT_EQ(asked, 1);
  EXPECT_TRUE(skipped.empty());
  EXPECT_EQ(readFile(at("pw/secret.txt")), "classified");
  EXPECT_EQ(readFile(at("pw/secret_dd.txt")), "also classified");
}

TEST_F(ExtractTest, EncryptedEntryChecksAgainstItsStoredTimeNotTheNormalisedOne) {
  // Hour 25 and 62 seconds: normalising gives 23:30:58, and the hour lies in the check byte.
  const uint32_t stored = (44u << 25) | (6u << 21) | (15u << 16) | (25u << 11) | (30u << 5) | 31u;
  const uint32_t normalised = (44u << 25) | (6u << 21) | (15u << 16) | (23u << 11) | (30u << 5) | 29u;
  ASSERT_NE((stored >> 8) & 0xFF, (normalised >> 8) & 0xFF);
  ZipWriter w;
  w.add({.name = "late.txt", .data = "after hours", .dosDateTime = stored, .password = "pw", .dataDescriptor = true});
  TUnZip u(codec, stamps);
  u.setZipName(archive(w));
  u.setDestDir(at("out"));
  u.setPassword("pw");
  u.DoAll = true;
  int badPassword = 0;
  u.OnBadPassword = [&](TUnZip&, int, std::string&) { ++badPassword; };
  EXPECT_EQ(u.ExtractFiles(), 1);
  EXPECT_EQ(badPassword, 0);
  EXPECT_EQ(readFile(at("out/late.txt")), "after hours");
  EXPECT_EQ(stamps.dosDateTime(at("out/late.txt")), normalised);  // the file still gets the normalised time
}

TEST_F(ExtractTest, LinkAtTheTargetNameIsReplacedNotWrittenThrough) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "archive"});
  const std::string zip = archive(w);
  for (TUZOverwriteMode mode : {TUZOverwriteMode::Never, TUZOverwriteMode::Always}) {
    std::filesystem::remove_all(at("out"));
    std::filesystem::create_directories(at("out"));
    std::filesystem::create_symlink(at("outside.txt"), at("out/a.txt"));  // dangling
    TUnZip u(codec, stamps);
    u.setZipName(zip);
    u.setDestDir(at("out"));
    u.DoAll = true;
    u.OverwriteMode = mode;
    EXPECT_EQ(u.ExtractFiles(), mode == TUZOverwriteMode::Always ? 1 : 0);
    EXPECT_FALSE(std::filesystem::exists(at("outside.txt")));
    EXPECT_EQ(tree(at("out")), (Tree{"a.txt"}));
    EXPECT_EQ(std::filesystem::is_symlink(at("out/a.txt")), mode == TUZOverwriteMode::Never);
  }
  EXPECT_EQ(readFile(at("out/a.txt")), "archive");
}

TEST_F(ExtractTest, OverwriteModesDecideAboutExistingFiles) {
  ZipWriter w;
  w.add({.name = "f.txt", .data = "archive"});  // dated 2024-06-15
  const std::string zip = archive(w);
  const uint32_t older = (30u << 25) | (1u << 21) | (1u << 16), newer = (60u << 25) | (1u << 21) | (1u << 16);
  struct Case {
    TUZOverwriteMode mode;
    uint32_t existingDate;
    int answer;
    const char* expected;
  } cases[] = {
      {TUZOverwriteMode::Always, newer, 0, "archive"},      {TUZOverwriteMode::Never, older, 0, "disk"},
      {TUZOverwriteMode::ifNewer, older, 0, "archive"},     {TUZOverwriteMode::ifNewer, newer, 0, "disk"},
      {TUZOverwriteMode::ifOlder, newer, 0, "archive"},     {TUZOverwriteMode::ifOlder, older, 0, "disk"},
      {TUZOverwriteMode::Prompt, older, mb::kIdYes, "archive"}, {TUZOverwriteMode::Prompt, older, mb::kIdNo, "disk"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove_all(at("out"));
    std::filesystem::create_directories(at("out"));
    writeFile(at("out/f.txt"), "disk");
    stamps.setDosDateTime(at("out/f.txt"), c.existingDate);
    std::string shown;
    TUnZip u(codec, stamps, [&](const std::string& text, const std::string& caption, unsigned) {
      shown = caption + "|" + text;
      return c.answer;
    });
    u.setZipName(zip);
    u.setDestDir(at("out"));
    u.DoAll = true;
    u.OverwriteMode = c.mode;
    u.ExtractFiles();
    EXPECT_EQ(readFile(at("out/f.txt")), c.expected) << static_cast<int>(c.mode) << " " << c.existingDate;
    if (c.mode == TUZOverwriteMode::Prompt) {
      EXPECT_EQ(shown, "File Exists Alert|Replace existing file f.txt?");
    }
  }
}

TEST_F(ExtractTest, ReadOnlyFilesAreKeptUnlessReplaceReadOnly) {
  ZipWriter w;
  w.add({.name = "ro.txt", .data = "archive"});
  const std::string zip = archive(w);
  std::filesystem::create_directories(at("out"));
  writeFile(at("out/ro.txt"), "disk");
  ::chmod(at("out/ro.txt").c_str(), 0444);
  EXPECT_TRUE(unzipFile(zip, at("out")));
  EXPECT_EQ(readFile(at("out/ro.txt")), "disk");

  TUnZip u(codec, stamps);
  u.setZipName(zip);
  u.setDestDir(at("out"));
  u.DoAll = true;
  u.OverwriteMode = TUZOverwriteMode::Always;
  u.ReplaceReadOnly = true;
  EXPECT_EQ(u.ExtractFiles(), 1);
  EXPECT_EQ(readFile(at("out/ro.txt")), "archive");
}

TEST_F(ExtractTest, ReadOnlyAttributeIsKeptWhenRetained) {
  ZipWriter w;
  w.add({.name = "ro.txt", .data = "x", .externalAttributes = 0x21});
  EXPECT_TRUE(unzipFile(archive(w), at("out")));
  EXPECT_TRUE(stamps.attributes(at("out/ro.txt")) & platform::attr::kReadOnly);
}

TEST_F(ExtractTest, SelectionByPatternsAndRelativePaths) {
  ZipWriter w;
  w.add({.name = "Pack/Addon/main.lua", .data = "m"});
  w.add({.name = "Pack/Addon/readme.TXT", .data = "r"});
  w.add({.name = "Pack/other.ini", .data = "o"});
  TUnZip u(codec, stamps);
  u.setZipName(archive(w));
  u.setDestDir(at("out"));
  u.RecreateDirs = true;
  u.setRootDir("pack/");
  u.FilesList = {"*.LUA", "pack\\other.*"};
  int announced = -1;
  u.OnStartUnZipInfo = [&](TUnZip&, int n, int64_t bytes, bool&) {
    announced = n;
    EXPECT_EQ(bytes, 2);
  };
  EXPECT_EQ(u.ExtractFiles(), 2);
  EXPECT_EQ(announced, 2);
  EXPECT_TRUE(u.FilesList.empty());
  EXPECT_EQ(tree(at("out")), (Tree{"Addon/", "Addon/main.lua", "other.ini"}));
}

TEST_F(ExtractTest, EventsCanRedirectAndSkipEntries) {
  ZipWriter w;
  w.add({.name = "keep.txt", .data = "k"});
  w.add({.name = "drop.txt", .data = "d"});
  TUnZip u(codec, stamps);
  u.setZipName(archive(w));
  u.setDestDir(at("out"));
  u.DoAll = true;
  std::vector<std::string> ended;
  u.OnStartUnZip = [&](TUnZip&, int, std::string& name, bool& skip) {
    if (name.ends_with("drop.txt")) {
      skip = true;
    } else {
      name = at("out/renamed.txt");
    }
  };
  u.OnEndUnZip = [&](TUnZip&, int, const std::string& name) { ended.push_back(name); };
  int lastTotal = -1;
  u.OnTotalPercentDone = [&](TUnZip&, int p) { lastTotal = p; };
  EXPECT_EQ(u.ExtractFiles(), 1);
  EXPECT_EQ(ended, std::vector<std::string>{at("out/renamed.txt")});
  EXPECT_EQ(lastTotal, 50);  // one of the two announced bytes
  EXPECT_EQ(tree(at("out")), (Tree{"renamed.txt"}));
}

TEST_F(ExtractTest, MessagesArePumpedOnlyWhenAsked) {
  ZipWriter w;
  w.add({.name = "a.txt", .data = "a"});
  w.add({.name = "b.txt", .data = "b"});
  const std::string zip = archive(w);
  for (bool pumping : {true, false}) {
    int pumps = 0;
    TUnZip u(codec, stamps, {}, [&] { ++pumps; });
    u.DoProcessMessages = pumping;
    u.setZipName(zip);
    u.setDestDir(at("out"));
    u.DoAll = true;
    u.OverwriteMode = TUZOverwriteMode::Always;
    EXPECT_EQ(u.ExtractFiles(), 2);
    // Two central records, two selections, two input refills.
    EXPECT_EQ(pumps, pumping ? 6 : 0);
  }
}

TEST_F(ExtractTest, DataDescriptorsAndCommentsAreSteppedOver) {
  ZipWriter w;
  w.add({.name = "dd.txt", .data = std::string(70000, 'd'), .dataDescriptor = true, .comment = "entry comment"});
  w.add({.name = "after.txt", .data = "a", .comment = std::string(300, 'c')});
  int count = 0;
  EXPECT_TRUE(unzipFile(archive(w, "a.zip", "archive comment"), at("out"), &count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(readFile(at("out/dd.txt")), std::string(70000, 'd'));
}

TEST_F(ExtractTest, LongPathsExtract) {
  std::string dir;
  for (int i = 0; i < 12; ++i) dir += std::string(30, static_cast<char>('a' + i)) + "/";
  ZipWriter w;
  w.add({.name = dir + "deep.txt", .data = "deep"});
  EXPECT_TRUE(unzipFile(archive(w), at("out")));
  EXPECT_EQ(readFile(at("out/" + dir + "deep.txt")), "deep");
}

TEST_F(ExtractTest, MultiPartArchiveOnFixedDisk) {
  if (std::system("zip -v >/dev/null 2>&1") != 0) GTEST_SKIP() << "no zip command";
  std::filesystem::create_directories(at("src/sub"));
  std::string big;
  for (int i = 0; i < 40000; ++i) big += std::to_string(i * 7919 % 100003) + ",";
  writeFile(at("src/sub/big.txt"), big);
  writeFile(at("src/small.txt"), "small");
  const std::string cmd = "cd " + at("src") + " && zip -q -r -s 64k -Z store ../multi.zip . >/dev/null 2>&1";
  ASSERT_EQ(std::system(cmd.c_str()), 0);
  ASSERT_TRUE(std::filesystem::exists(at("multi.z01")));
  int count = 0;
  EXPECT_TRUE(unzipFile(at("multi.zip"), at("out"), &count));
  EXPECT_EQ(readFile(at("out/sub/big.txt")), big);
  EXPECT_EQ(readFile(at("out/small.txt")), "small");
  std::filesystem::remove(at("multi.z01"));
  EXPECT_THROW(unzipFile(at("multi.zip"), at("out2")), EFOpenError);
}

}  // namespace
}  // namespace qv::unzip::test
