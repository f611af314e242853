// The tool that writes the archives' digests and sizes into a catalogue, run as a publisher runs it:
// every item whose archive is in the folder gets both, the program then takes exactly those archives,
// an item without an archive keeps what it had, and a second run over the result changes nothing.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>

#include "catalogue/archive_check.h"
#include "catalogue/catalogue_reader.h"
#include "list_under_test.h"
#include "test_dir.h"

namespace qv::catalogue {
namespace {

using test::readAll;
using test::TestDir;
using test::writeAll;

class CatalogueDigestsCliTest : public ::testing::Test, protected ListUnderTest {
 protected:
  TestDir dir;
  std::string err;
  platform::headless::OpenSslCrypto crypto;

  void SetUp() override {
    std::filesystem::create_directory(dir.file("zip"));
    writeAll(dir.file("zip/Alpha.zip"), "PK\x03\x04 alpha's archive");
    writeAll(dir.file("zip/Beta.zip"), std::string(100000, 'b'));
    writeAll(
        dir.file("Data.xml"),
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug>\n"
        "  <Item plugName=\"Alpha\" plugCName=\"甲\" plugfolder='Alpha,\"A B\"' plugdescribe=\"x &amp; "
        "y\"/>\n"
        "  <Item plugName=\" Beta \" plugCName=\"乙\" plugfolder=\"Beta\" plugdescribe=\"\" size=\"1\"/>\n"
        "  <Item plugName=\"Gamma\" plugCName=\"丙\" plugfolder=\"Gamma\" plugdescribe=\"\" size=\"5\"/>\n"
        "</plug>\n");
  }
  int run(const std::string& args) {
    const std::string command =
        std::string(QV_CATALOGUE_DIGESTS) + " " + args + " >/dev/null 2>" + dir.file("stderr");
    const int status = std::system(command.c_str());
    err = readAll(dir.file("stderr"));
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
};

TEST_F(CatalogueDigestsCliTest, EveryArchiveInTheFolderIsDescribedAndTheProgramTakesExactlyThose) {
  ASSERT_EQ(run(dir.file("Data.xml") + " " + dir.file("zip") + " " + dir.file("Out.xml")), 0) << err;
  EXPECT_NE(err.find("Gamma.zip"), std::string::npos) << "the item without an archive is named: " << err;
  const std::string out = readAll(dir.file("Out.xml"));
  EXPECT_TRUE(out.starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug>\n"))
      << out.substr(0, 80);
  EXPECT_NE(out.find(">\n  <Item plugName=\"Alpha\""), std::string::npos) << "the layout is kept";

  readCatalogue(dir.file("Out.xml"), xml, list);
  ASSERT_EQ(list.count(), 3);
  EXPECT_EQ(list.subItem(row("Alpha"), kFolderList), "Alpha,\"A B\"");
  EXPECT_EQ(list.subItem(row("Alpha"), kDescription), "x & y");
  EXPECT_TRUE(list.expectedArchive(row("Alpha")).sha256);
  EXPECT_TRUE(archiveMatches(dir.file("zip/Alpha.zip"), list.expectedArchive(row("Alpha")), crypto));
  EXPECT_EQ(list.expectedArchive(row(" Beta ")).size, 100000u) << "the stale size was replaced";
  EXPECT_TRUE(archiveMatches(dir.file("zip/Beta.zip"), list.expectedArchive(row(" Beta ")), crypto));
  EXPECT_FALSE(archiveMatches(dir.file("zip/Alpha.zip"), list.expectedArchive(row(" Beta ")), crypto))
      << "archives mixed up";
  EXPECT_EQ(list.expectedArchive(row("Gamma")).size, 5u) << "kept what it had";
  EXPECT_FALSE(list.expectedArchive(row("Gamma")).sha256);
}

TEST_F(CatalogueDigestsCliTest, ASecondRunInPlaceChangesNothing) {
  ASSERT_EQ(run(dir.file("Data.xml") + " " + dir.file("zip")), 0) << err;
  const std::string once = readAll(dir.file("Data.xml"));
  ASSERT_NE(once.find("sha256=\""), std::string::npos);
  ASSERT_EQ(run(dir.file("Data.xml") + " " + dir.file("zip")), 0) << err;
  EXPECT_EQ(readAll(dir.file("Data.xml")), once);
}

TEST_F(CatalogueDigestsCliTest, ACatalogueThatIsNoXmlIsLeftAsItIs) {
  writeAll(dir.file("Data.xml"), "<html><body>Not found");
  EXPECT_EQ(run(dir.file("Data.xml") + " " + dir.file("zip")), 1);
  EXPECT_EQ(readAll(dir.file("Data.xml")), "<html><body>Not found");
  EXPECT_EQ(run(dir.file("Data.xml")), 2) << "no archive folder";
}

}  // namespace
}  // namespace qv::catalogue
