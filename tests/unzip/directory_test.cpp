// Reading an archive's directory: the end record search, the records, damaged directories.
#include <gtest/gtest.h>

#include "test_support.h"
#include "unzip/entry_names.h"
#include "unzip/zip_errors.h"
#include "unzip/zip_objects.h"

namespace qv::unzip::test {
namespace {

class DirectoryTest : public UnzipTest {
 protected:
  // Reads the directory of `bytes` and returns the component for inspection.
  std::unique_ptr<TUnZip> read(const std::string& bytes, const std::string& name = "d.zip") {
    writeFile(at(name), bytes);
    auto u = std::make_unique<TUnZip>(codec, stamps);
    u->setZipName(at(name));
    u->ReadDirectory();
    return u;
  }
  static ZipWriter oneEntry(const std::string& name = "a.txt") {
    ZipWriter w;
    w.add({.name = name, .data = "hello"});
    return w;
  }
};

TEST_F(DirectoryTest, EndRecordIsFoundBehindTheLongestCommentButNotBehindMore) {
  auto w = oneEntry();
  const std::string longest = w.finish(std::string(65535, 'c'));
  EXPECT_EQ(read(longest)->Count(), 1);
  // One byte past what the search covers: the archive reads as incomplete.
  auto u = read(longest + "x");
  EXPECT_FALSE(u->directoryValid());
  EXPECT_THROW(u->ExtractFiles(), EIncompleteZip);
}

TEST_F(DirectoryTest, SignatureInsideTheCommentNearestTheEndWins) {
  ZipWriter w;
  w.add({.name = "real.txt", .data = "x"});
  // The comment ends with a copy of the end record itself (comment length 0): that copy, nearest the
  // end of the file, is the one taken.
  const std::string plain = w.finish();
  const std::string bytes = w.finish("note " + plain.substr(plain.size() - 22));
  auto u = read(bytes);
  EXPECT_EQ(u->Count(), 1);
  EXPECT_EQ(u->EndCentral().comment_position, bytes.size());
  EXPECT_EQ(u->EndCentral().comment_length, 0);
}

TEST_F(DirectoryTest, EmptyFileIsAnArchiveWithoutEntriesAndShortFilesAreIncomplete) {
  EXPECT_EQ(read("")->Count(), 0);
  EXPECT_TRUE(unzipFile(at("d.zip"), at("out0")));
  EXPECT_TRUE(std::filesystem::is_directory(at("out0")));

  for (const std::string& junk : {std::string("0123456789"), std::string(5000, 't')}) {
    writeFile(at("junk.zip"), junk);
    EXPECT_FALSE(unzipFile(at("junk.zip"), at("out1")));
    EXPECT_FALSE(std::filesystem::exists(at("out1")));
  }
}

TEST_F(DirectoryTest, IncompleteModesDecideWhatAMissingEndRecordMeans) {
  auto w = oneEntry();
  std::string bytes = w.finish();
  const std::string noEnd = bytes.substr(0, bytes.size() - 22);
  writeFile(at("cut.zip"), noEnd);
  {
    TUnZip u(codec, stamps);
    u.IncompleteZipMode = TIncompleteZipMode::izAssumeNotAZip;
    u.setZipName(at("cut.zip"));
    EXPECT_THROW(u.ReadDirectory(), ENotAZipFile);
    EXPECT_EQ(u.ZipName(), "");  // the instance is cleared
  }
  {
    TUnZip u(codec, stamps);
    int calls = 0;
    u.OnInCompleteZip = [&](TUnZip&, TIncompleteZipMode& mode) {
      ++calls;
      mode = TIncompleteZipMode::izAssumeBad;  // rebuild from the local headers
    };
    u.setZipName(at("cut.zip"));
    u.ReadDirectory();
    EXPECT_EQ(calls, 1);
    ASSERT_EQ(u.Count(), 1);
    EXPECT_EQ(u.Entry(0).filename, "a.txt");
  }
}

TEST_F(DirectoryTest, ArchiveThatCannotBeOpenedReportsTheRuntimeText) {
  TUnZip u(codec, stamps);
  u.setZipName(at("missing.zip"));
  try {
    u.ReadDirectory();
    FAIL() << "no error";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Cannot open file \"" + at("missing.zip") + "\". ", 0), 0u) << e.what();
  }
  EXPECT_EQ(u.ZipName(), "");
  EXPECT_THROW(unzipFile(at("missing.zip"), at("out")), EFOpenError);  // outside UnZipFile's catch
}

TEST_F(DirectoryTest, DatesAreNormalisedFieldByField) {
  EXPECT_EQ(normalizeDosDateTime(0), (1u << 21) | (1u << 16));                  // 1980-01-01 00:00:00
  EXPECT_EQ(normalizeDosDateTime((5u << 16) | (2u << 21) | 31), (5u << 16) | (2u << 21) | 29);  // 62 s -> 58 s
  EXPECT_EQ(normalizeDosDateTime((120u << 25) | (13u << 21) | (1u << 16) | (24u << 11) | (60u << 5)),
            (119u << 25) | (12u << 21) | (1u << 16) | (23u << 11) | (59u << 5));
  const uint32_t good = (44u << 25) | (2u << 21) | (31u << 16);  // 31 February: days are not checked
  EXPECT_EQ(normalizeDosDateTime(good), good);
}

TEST_F(DirectoryTest, NamesSplitIntoDirectoryAndFileName) {
  ZipWriter w;
  w.add({.name = "Addon/", .data = "", .method = 0});
  w.add({.name = "Addon/sub/a.lua", .data = "x"});
  w.add({.name = "top.ini", .data = "y"});
  auto u = read(w.finish());
  ASSERT_EQ(u->Count(), 3);
  EXPECT_EQ(u->Entry(0).directory, "Addon\\");
  EXPECT_TRUE(u->Entry(0).isDirectory());
  EXPECT_EQ(u->Entry(1).directory, "Addon\\sub\\");
  EXPECT_EQ(u->Entry(1).filename, "a.lua");
  EXPECT_EQ(u->Entry(2).directory, "");
  EXPECT_THROW(u->Entry(3), EZipException);
}

TEST_F(DirectoryTest, NamesAreDecodedByHostFlagAndCodePageBeforeSplitting) {
  codec.setCodePages(950, 950);
  // "許功蓋" in Big5: each character's second byte is 0x5C, the byte of "\".
  const std::string big5 = "\xB3\x5C\xA5\x5C\xBB\x5C";
  const std::string utf8 = "許功蓋";
  ZipWriter w;
  w.add({.name = big5 + "/" + big5 + ".lua", .data = "1"});                             // MS-DOS host
  w.add({.name = big5 + ".txt", .data = "2", .versionMadeBy = (3 << 8) | 20});          // Unix host: ANSI page
  w.add({.name = utf8 + "/u.txt", .data = "3", .flags = 0x0800});                        // UTF-8 flag
  auto u = read(w.finish());
  ASSERT_EQ(u->Count(), 3);
  EXPECT_EQ(u->Entry(0).directory, utf8 + "\\");
  EXPECT_EQ(u->Entry(0).filename, utf8 + ".lua");
  EXPECT_EQ(u->Entry(1).filename, utf8 + ".txt");
  EXPECT_EQ(u->Entry(2).directory, utf8 + "\\");

  // With OEM conversion off, an MS-DOS name is read in the ANSI page: OEM 437 vs ANSI 950 differ.
  codec.setCodePages(950, 437);
  ZipWriter dos;
  dos.add({.name = "\x82.txt", .data = "x"});  // CP437 0x82 is "é"
  EXPECT_EQ(read(dos.finish(), "dos.zip")->Entry(0).filename, "é.txt");
  TUnZip never(codec, stamps);
  never.OEMConvert = TOEMConvert::oemNever;
  never.setZipName(at("dos.zip"));
  never.ReadDirectory();
  EXPECT_NE(never.Entry(0).filename, "é.txt");
}

TEST_F(DirectoryTest, DoubleBytePairWithoutAMappingStillKeepsItsTrailByteFromSplittingTheName) {
  codec.setCodePages(950, 950);
  // GBK text read as Big5: 0x81 is a lead byte whose pairs Big5 leaves unassigned, and the trail byte
  // 0x5C is the byte of "\". The pair is one (unknown) character, not a separator.
  EXPECT_EQ(codec.codePageToUtf8(950, "\x81\x5C"), "\xEF\xBF\xBD");
  EXPECT_EQ(codec.codePageToUtf8(950, "a\x81\x5C\xB3\x5C"), "a\xEF\xBF\xBD許");
  EXPECT_EQ(codec.codePageToUtf8(950, "\x81"), "\xEF\xBF\xBD");       // a lead byte at the very end
  EXPECT_EQ(codec.codePageToUtf8(950, "\x81\x30"), "\xEF\xBF\xBD" "0");  // no trail byte: one each
  ZipWriter w;
  w.add({.name = "\xB3\x5C/\x81\x5C\x81\x5C" "a.lua", .data = "x"});
  w.add({.name = "\x81\x5C" "b.lua", .data = "y"});
  auto u = read(w.finish());
  ASSERT_EQ(u->Count(), 2);
  EXPECT_EQ(u->Entry(0).directory, "許\\");
  EXPECT_EQ(u->Entry(0).filename, "\xEF\xBF\xBD\xEF\xBF\xBD" "a.lua");
  EXPECT_EQ(u->Entry(1).directory, "");
  EXPECT_EQ(u->Entry(1).filename, "\xEF\xBF\xBD" "b.lua");
}

TEST_F(DirectoryTest, InvalidUtf8NeverSpellsASeparatorOrADot) {
  ZipWriter w;
  // Overlong forms of "/", "\\" and ".", a surrogate, and a value above U+10FFFF, in flagged names.
  w.add({.name = "a\xC0\xAF" "b.txt", .data = "1", .flags = 0x0800});
  w.add({.name = "\xC1\x9C" "c.txt", .data = "2", .flags = 0x0800});
  w.add({.name = "\xE0\x80\xAE\xE0\x80\xAE/d.txt", .data = "3", .flags = 0x0800});
  w.add({.name = "\xED\xA0\x80" "e.txt", .data = "4", .flags = 0x0800});
  w.add({.name = "\xF4\x90\x80\x80" "f.txt", .data = "5", .flags = 0x0800});
  auto u = read(w.finish());
  ASSERT_EQ(u->Count(), 5);
  const std::string r = "\xEF\xBF\xBD";
  EXPECT_EQ(u->Entry(0).filename, "a" + r + r + "b.txt");
  EXPECT_EQ(u->Entry(1).filename, r + r + "c.txt");
  EXPECT_EQ(u->Entry(2).directory, r + r + r + r + r + r + "\\");
  EXPECT_EQ(u->Entry(3).filename, r + r + r + "e.txt");
  EXPECT_EQ(u->Entry(4).filename, r + r + r + r + "f.txt");
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(isValidUtf8(u->Entry(i).directory + u->Entry(i).filename)) << i;
  int count = 0;
  EXPECT_TRUE(unzipFile(at("d.zip"), at("out"), &count));
  EXPECT_EQ(count, 5);
  EXPECT_EQ(tree(at("out")).size(), 6u);  // five files and one directory, all inside
}

TEST_F(DirectoryTest, Zip64RecordsAndFieldsAreUsed) {
  ZipWriter w;
  w.add({.name = "first.txt", .data = "one"});
  w.add({.name = "big.bin", .data = std::string(1000, 'z'), .zip64 = true});
  writeFile(at("z64.zip"), w.finish("", true));
  auto u = std::make_unique<TUnZip>(codec, stamps);
  u->setZipName(at("z64.zip"));
  u->ReadDirectory();
  ASSERT_EQ(u->Count(), 2);
  EXPECT_TRUE(u->EndCentral().end64 != nullptr);
  EXPECT_EQ(u->Entry(1).uncompressed_size, 0xFFFFFFFFu);
  EXPECT_EQ(u->Entry(1).uncompressedSize(), 1000u);
  EXPECT_GT(u->Entry(1).relativeOffset(), 0u);
  EXPECT_TRUE(unzipFile(at("z64.zip"), at("out")));
  EXPECT_EQ(readFile(at("out/big.bin")), std::string(1000, 'z'));
}

TEST_F(DirectoryTest, ExtraFieldThatIsNotThereIsRetriedWithout) {
  ZipWriter w;
  w.add({.name = "one.txt", .data = "1"});
  w.add({.name = "two.txt", .data = "2"});
  w.add({.name = "three.txt", .data = "3"});
  writeFile(at("lie.zip"), w.finish("", false, 0));
  int count = 0;
  EXPECT_TRUE(unzipFile(at("lie.zip"), at("out"), &count));
  EXPECT_EQ(count, 3);
  EXPECT_EQ(tree(at("out")), (std::set<std::string>{"one.txt", "two.txt", "three.txt"}));
}

TEST_F(DirectoryTest, DamagedDirectoryIsRebuiltFromLocalHeaders) {
  ZipWriter w;
  w.add({.name = "dir/a.txt", .data = std::string(3000, 'a')});
  w.add({.name = "b.txt", .data = "bee", .method = 0});
  std::string bytes = w.finish();
  const size_t cd = bytes.find("PK\x01\x02");
  bytes[cd + 2] = 'X';  // the first central record is unreadable
  writeFile(at("damaged.zip"), bytes);
  int count = 0;
  EXPECT_TRUE(unzipFile(at("damaged.zip"), at("out"), &count));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(readFile(at("out/dir/a.txt")), std::string(3000, 'a'));
  EXPECT_EQ(readFile(at("out/b.txt")), "bee");

  // A self-extractor's stub is not scanned: for an ".EXE" the scan starts at offset 14000, past a
  // stub that happens to hold the local signature.
  std::string stub(14000, 'M');
  stub.replace(100, 6, std::string("PK\x03\x04\x14\x00", 6));
  writeFile(at("sfx.EXE"), stub + bytes);
  TUnZip sfx(codec, stamps);
  sfx.setZipName(at("sfx.EXE"));
  sfx.ReadDirectory();
  ASSERT_EQ(sfx.Count(), 2);
  EXPECT_EQ(sfx.Entry(0).filename, "a.txt");
  EXPECT_EQ(sfx.Entry(0).relativeOffset(), 14000u);
}

TEST_F(DirectoryTest, DirectoryIsReadFromTheSideFileWhenTheArchiveHasNone) {
  ZipWriter w;
  w.add({.name = "s.txt", .data = "side", .method = 0});
  const std::string bytes = w.finish();
  const size_t cd = bytes.find("PK\x01\x02");
  writeFile(at("split.zip"), bytes.substr(0, cd));
  writeFile(at("split.zfc"), bytes.substr(cd));  // copy of the directory; its offsets stay the archive's
  int count = 0;
  EXPECT_TRUE(unzipFile(at("split.zip"), at("out"), &count));
  EXPECT_EQ(count, 1);
  EXPECT_EQ(readFile(at("out/s.txt")), "side");
}

TEST_F(DirectoryTest, DirectoryIsReusedWhileTheArchiveIsUnchanged) {
  auto w = oneEntry("first.txt");
  writeFile(at("r.zip"), w.finish());
  TUnZip u(codec, stamps);
  u.setZipName(at("r.zip"));
  u.ReadDirectory();
  EXPECT_EQ(u.Entry(0).filename, "first.txt");
  auto w2 = oneEntry("second.txt");
  writeFile(at("r.zip"), w2.finish());
  std::filesystem::last_write_time(at("r.zip"), std::filesystem::last_write_time(at("r.zip")) + std::chrono::seconds(5));
  u.ReadDirectory();
  EXPECT_EQ(u.Entry(0).filename, "second.txt");
}

}  // namespace
}  // namespace qv::unzip::test
