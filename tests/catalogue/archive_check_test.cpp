// What a catalogue item may say about its archive ("sha256", "size"), kept with its row, and the check
// that keeps any other archive out of the game: the right file passes, a file of another size or with
// one byte changed does not, nothing expected passes everything, and an attribute that is there but
// unreadable lets nothing pass. Catalogues without the attributes read exactly as before.
#include "catalogue/archive_check.h"

#include <gtest/gtest.h>

#include <cctype>

#include "catalogue/catalogue_reader.h"
#include "list_under_test.h"
#include "test_dir.h"

namespace qv::catalogue {
namespace {

using test::readAll;
using test::TestDir;
using test::writeAll;

const std::string kArchive = "PK\x03\x04 an archive of some bytes";

std::string digestOf(const std::string& bytes) {
  return platform::toHex(*platform::headless::OpenSslCrypto().sha256(bytes));
}

TEST(ArchiveExpectation, TheAttributesAreReadAsTheyStandOrMarkedUnreadable) {
  const std::string digest = digestOf(kArchive);
  EXPECT_FALSE(ArchiveExpectation::fromAttributes(std::nullopt, std::nullopt).any()) << "an old catalogue";
  EXPECT_FALSE(ArchiveExpectation::fromAttributes(" ", "").any()) << "blank is nothing";

  const ArchiveExpectation both = ArchiveExpectation::fromAttributes(digest, "31");
  EXPECT_EQ(platform::toHex(*both.sha256), digest);
  EXPECT_EQ(both.size, 31u);
  EXPECT_FALSE(both.malformed);
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(ArchiveExpectation::fromAttributes(" " + upper + " ", std::nullopt).sha256, both.sha256);

  for (const std::string& bad : {digest.substr(1), digest + "0", "sha256:" + digest, std::string(64, 'z')})
    EXPECT_TRUE(ArchiveExpectation::fromAttributes(bad, "31").malformed) << bad;
  for (const char* bad : {"-1", "1e3", "0x1F", "31 bytes", "99999999999999999999999"})
    EXPECT_TRUE(ArchiveExpectation::fromAttributes(digest, bad).malformed) << bad;
}

class ArchiveCheckTest : public ::testing::Test {
 protected:
  TestDir dir;
  platform::headless::OpenSslCrypto crypto;
  std::string archive = dir.file("BagSort.zip");
  void SetUp() override { writeAll(archive, kArchive); }
  bool matches(std::optional<std::string_view> sha256, std::optional<std::string_view> size) {
    return archiveMatches(archive, ArchiveExpectation::fromAttributes(sha256, size), crypto);
  }
};

TEST_F(ArchiveCheckTest, OnlyTheArchiveTheCatalogueDescribesPasses) {
  const std::string digest = digestOf(kArchive);
  const std::string size = std::to_string(kArchive.size());
  EXPECT_TRUE(matches(digest, size));
  EXPECT_TRUE(matches(digest, std::nullopt));
  EXPECT_TRUE(matches(std::nullopt, size));
  EXPECT_TRUE(matches(std::nullopt, std::nullopt));

  EXPECT_FALSE(matches(digest, std::to_string(kArchive.size() + 1))) << "another size";
  EXPECT_FALSE(matches(std::nullopt, "0"));
  std::string oneByteOff = kArchive;
  oneByteOff[10] ^= 0x20;
  writeAll(archive, oneByteOff);
  EXPECT_FALSE(matches(digest, size)) << "one byte changed, the size the same";
  EXPECT_FALSE(matches(digest, std::nullopt));
  EXPECT_TRUE(matches(std::nullopt, size)) << "a size alone cannot tell";
}

TEST_F(ArchiveCheckTest, UnreadableExpectationsOrFilesLetNothingPass) {
  EXPECT_FALSE(matches("not a digest", std::nullopt));
  EXPECT_FALSE(matches(std::nullopt, "many"));
  const std::string digest = digestOf(kArchive);
  EXPECT_FALSE(archiveMatches(dir.file("missing.zip"),
                              ArchiveExpectation::fromAttributes(digest, std::nullopt), crypto));
  EXPECT_FALSE(
      archiveMatches(dir.file("missing.zip"), ArchiveExpectation::fromAttributes(std::nullopt, "0"), crypto))
      << "a missing file has no size, not size 0";
  std::filesystem::create_directory(dir.file("Folder.zip"));
  EXPECT_FALSE(archiveMatches(dir.file("Folder.zip"),
                              ArchiveExpectation::fromAttributes(digest, std::nullopt), crypto));
  EXPECT_TRUE(archiveMatches(dir.file("missing.zip"), {}, crypto)) << "nothing expected, nothing refused";
}

TEST(ArchiveCheckText, TheStatusLineNamesEveryAddOn) {
  EXPECT_EQ(mismatchStatusText({"BagSort"}), "壓縮檔與目錄不符,未安裝: BagSort");
  EXPECT_EQ(mismatchStatusText({"BagSort", " Raid Grid "}), "壓縮檔與目錄不符,未安裝: BagSort,  Raid Grid ");
}

class CatalogueDigestsTest : public ::testing::Test, protected ListUnderTest {
 protected:
  TestDir dir;

  void read(const std::string& items) {
    writeAll(dir.file("Data.xml"), "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>" + items + "</plug>");
    readCatalogue(dir.file("Data.xml"), xml, list);
  }
};

TEST_F(CatalogueDigestsTest, TheAttributesStayWithTheirRowsThroughEveryReordering) {
  const std::string digest = digestOf(kArchive);
  read(
      "<Item plugName=\"Zeta\" plugCName=\"z\" plugfolder=\"Zeta\" plugdescribe=\"\" sha256=\"" + digest +
      "\" size=\"31\"/>"
      "<Item plugName=\"Alpha\" plugCName=\"a\" plugfolder=\"Alpha\" plugdescribe=\"\"/>"
      "<Item size=\"7\" plugName=\"Mid\" plugCName=\"m\" plugfolder=\"Mid\" plugdescribe=\"\" other=\"x\"/>");
  ASSERT_EQ(list.count(), 3);
  const auto expectRows = [&] {
    EXPECT_EQ(platform::toHex(*list.expectedArchive(row("Zeta")).sha256), digest);
    EXPECT_EQ(list.expectedArchive(row("Zeta")).size, 31u);
    EXPECT_EQ(list.expectedArchive(row("Mid")).size, 7u);
    EXPECT_FALSE(list.expectedArchive(row("Mid")).sha256);
  };
  expectRows();
  EXPECT_FALSE(list.expectedArchive(row("Alpha")).any());
  EXPECT_EQ(list.name(0), "Alpha") << "ordered by name";
  list.sortByColumn(1);
  list.sortByColumn(1);
  expectRows();
  list.setName(row("Alpha"), "Omega");
  EXPECT_FALSE(list.expectedArchive(row("Omega")).any());
  expectRows();
  // No column shows them: the five cells are what they were.
  for (int column = 0; column < 5; ++column)
    for (int i = 0; i < list.count(); ++i) EXPECT_EQ(view.cell(i, column).find(digest), std::string::npos);
}

TEST_F(CatalogueDigestsTest, ACatalogueWithoutTheAttributesGivesRowsExpectingNothing) {
  read("<Item plugName=\"A\" plugCName=\"a\" plugfolder=\"A\" plugdescribe=\"\"/>");
  ASSERT_EQ(list.count(), 1);
  EXPECT_FALSE(list.expectedArchive(0).any());
}

}  // namespace
}  // namespace qv::catalogue
