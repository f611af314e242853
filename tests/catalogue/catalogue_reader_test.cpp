// Reading catalogues from files through the native XML document.
#include "catalogue/catalogue_reader.h"

#include <gtest/gtest.h>

#include "platform/headless/headless_platform.h"
#include "test_dir.h"

namespace qv::catalogue {
namespace {

using platform::headless::HeadlessListView;
using test::TestDir;
using test::writeAll;

class CatalogueReaderTest : public ::testing::Test {
 protected:
  TestDir dir;
  HeadlessListView view{nullptr, {"ListView1", 0, {}, ""}};
  platform::headless::LocaleCollation collation;
  platform::headless::IconvCodec codec{950, 950};
  AddonList list{view, collation, codec};
  platform::headless::PugixmlFactory xml;

  void read(const std::string& content) {
    const std::string file = dir.file("Data.xml");
    writeAll(file, content);
    readCatalogue(file, xml, list);
  }
  static std::string item(const std::string& name, const std::string& folder = "f") {
    return "<Item plugName=\"" + name + "\" plugCName=\"中" + name + "\" plugfolder=\"" + folder +
           "\" plugdescribe=\"d\"/>";
  }
};

const char* kDecl = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";

TEST_F(CatalogueReaderTest, EveryChildBecomesARowWhateverTheElementNames) {
  read(std::string(kDecl) + "<catalog>\n  <Item plugdescribe=\"說明\" extra=\"x\" plugfolder=\"Mbuff\" "
       "plugCName=\" 增益 \" plugName=\"Mbuff\"><child/>text</Item>\n  <Other plugName=\"A\" plugCName=\"\" "
       "plugfolder=\"\" plugdescribe=\"\"/>\n</catalog>");
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.name(0), "A");
  EXPECT_EQ(list.subItem(0, kChineseName), "");
  EXPECT_EQ(list.name(1), "Mbuff");
  EXPECT_EQ(list.subItem(1, kChineseName), " 增益 ") << "blanks reach the row";
  EXPECT_EQ(list.subItem(1, kDescription), "說明");
  EXPECT_EQ(list.subItem(1, kFolderList), "Mbuff");
}

TEST_F(CatalogueReaderTest, AMissingAttributeStopsTheReadingAndKeepsEarlierRows) {
  try {
    read(std::string(kDecl) + "<plug>" + item("First") +
         "<Item plugName=\"Second\" plugCName=\"x\" plugdescribe=\"d\"/>" + item("Third") + "</plug>");
    FAIL() << "no error";
  } catch (const MissingAttributeError& e) {
    EXPECT_STREQ(e.what(), "Could not convert variant of type (Null) into type (String)");
  }
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.name(0), "First");
}

TEST_F(CatalogueReaderTest, ACommentAmongTheItemsIsAChildWithoutAttributes) {
  EXPECT_THROW(read(std::string(kDecl) + "<plug>" + item("A") + "<!-- note -->" + item("B") + "</plug>"),
               MissingAttributeError);
  EXPECT_EQ(list.count(), 1);
}

TEST_F(CatalogueReaderTest, AnEmptyRootGivesNoRowsAndNoError) {
  read(std::string(kDecl) + "<plug/>");
  EXPECT_EQ(list.count(), 0);
  read(std::string(kDecl) + "<plug>\n   \n</plug>");
  EXPECT_EQ(list.count(), 0);
}

TEST_F(CatalogueReaderTest, EntitiesAreResolved) {
  read(std::string(kDecl) + "<plug><Item plugName=\"A&amp;B\" plugCName=\"&#x5287;&lt;\" plugfolder=\"f\" "
       "plugdescribe=\"&quot;q&quot;\"/></plug>");
  ASSERT_EQ(list.count(), 1);
  EXPECT_EQ(list.name(0), "A&B");
  EXPECT_EQ(list.subItem(0, kChineseName), "劇<");
  EXPECT_EQ(list.subItem(0, kDescription), "\"q\"");
}

TEST_F(CatalogueReaderTest, BadDocumentsRaiseTheThreeLineLoadErrorAndAddNothing) {
  const std::string bad[] = {
      "<html><body><h1>404 Not Found</h1><hr></body>",  // an HTML error page that is not well-formed
      std::string(kDecl) + "<plug>\n<Item plugName=\"a\" plugCName=\"b\" plugfolder=\"c\" plugdescribe=\"d\">\n</plug>",
      "",
      "just some text",
  };
  for (const std::string& doc : bad) {
    try {
      read(doc);
      FAIL() << "loaded: " << doc;
    } catch (const platform::XmlLoadError& e) {
      const std::string msg = e.what();
      const size_t first = msg.find("\r\nLine: ");
      ASSERT_NE(first, std::string::npos) << msg;
      EXPECT_NE(msg.find("\r\n", first + 2), std::string::npos) << msg;
      EXPECT_FALSE(e.report().reason.empty());
    }
    EXPECT_EQ(list.count(), 0);
  }
}

TEST_F(CatalogueReaderTest, WellFormedHtmlPageFailsAtTheFirstChild) {
  EXPECT_THROW(read("<html><head><title>Error</title></head><body>500</body></html>"), MissingAttributeError);
  EXPECT_EQ(list.count(), 0);
}

TEST_F(CatalogueReaderTest, ALargeCatalogueIsReadWhole) {
  std::string doc = std::string(kDecl) + "<plug>\n";
  int n = 0;
  while (doc.size() < 20u * 1024 * 1024) {
    doc += "<Item plugName=\"addon" + std::to_string(n) + "\" plugCName=\"插件\" plugfolder=\"addon" +
           std::to_string(n) + "\" plugdescribe=\"" + std::string(200, 'x') + "\"/>\n";
    ++n;
  }
  doc += "</plug>";
  read(doc);
  EXPECT_EQ(list.count(), n);
}

TEST_F(CatalogueReaderTest, NamesOutsideBig5StayWholeInTheList) {
  read(std::string(kDecl) + "<plug>" + item("emoji😀") + item("한국어") + "</plug>");
  ASSERT_EQ(list.count(), 2);
  EXPECT_EQ(list.subItem(0, kChineseName).substr(0, 3), "中");
  // The header-click sort converts keys to the code page; unconvertible characters must not break it.
  view.userColumnClick(0);
  EXPECT_EQ(list.count(), 2);
}

}  // namespace
}  // namespace qv::catalogue
