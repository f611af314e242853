#include "platform/headless/pugixml_document.h"

#include <gtest/gtest.h>

#include "test_dir.h"
#include "test_server.h"

namespace qv::test {
namespace {

using platform::XmlLoadError;
using platform::headless::PugixmlFactory;

const char kCatalogue[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<plug>\n"
    "  <!-- the server's own note -->\n"
    "  <Item plugName=\" Alpha \" plugCName=\"甲&amp;乙\" plugfolder=\"Alpha,&quot;B C&quot;\"\n"
    "        plugdescribe=\"&#x4E2D;&#25991;\tend\"/>\n"
    "  <?render fast?>\n"
    "  <Other plugdescribe=\"\" plugfolder=\"F\" plugCName=\"丙\" plugName=\"Beta\" extra=\"x\"/>\n"
    "</plug>\n";

// Every child of `node`, walked from sibling to sibling.
std::vector<std::unique_ptr<platform::XmlNode>> childrenOf(const platform::XmlNode& node) {
  std::vector<std::unique_ptr<platform::XmlNode>> children;
  for (auto c = node.firstChild(); c;) {
    auto next = c->nextSibling();
    children.push_back(std::move(c));
    c = std::move(next);
  }
  return children;
}

class XmlTest : public ::testing::Test {
 protected:
  std::unique_ptr<platform::XmlDocument> load(const std::string& name, const std::string& body) {
    server.setDocument(name, body);
    auto doc = factory.createDocument();
    doc->load(server.url("/doc/" + name));
    return doc;
  }

  // The load error of a document, or a failure when it loads.
  platform::XmlParseError loadError(const std::string& body, std::string* text = nullptr) {
    try {
      load("bad.xml", body);
    } catch (const XmlLoadError& e) {
      if (text) *text = e.what();
      return e.report();
    }
    ADD_FAILURE() << "loaded: " << body;
    return {};
  }

  TestServer server;
  PugixmlFactory factory;
};

TEST_F(XmlTest, CatalogueChildrenIncludeCommentsAndInstructionsButNoBlankText) {
  auto doc = load("Data.xml", kCatalogue);
  auto root = doc->documentElement();
  ASSERT_TRUE(root);
  const auto children = childrenOf(*root);
  ASSERT_EQ(children.size(), 4u);
  EXPECT_FALSE(children[0]->attribute("plugName"));  // the comment has no attributes
  EXPECT_FALSE(children[2]->attribute("plugName"));  // nor has the instruction
  const auto& first = children[1];
  EXPECT_EQ(first->attribute("plugName"), " Alpha ");  // blanks stay
  EXPECT_EQ(first->attribute("plugCName"), "甲&乙");
  EXPECT_EQ(first->attribute("plugfolder"), "Alpha,\"B C\"");
  EXPECT_EQ(first->attribute("plugdescribe"), "中文 end");  // a tab in a value reads as a blank
  const auto& second = children[3];
  EXPECT_EQ(second->attribute("plugName"), "Beta");
  EXPECT_EQ(second->attribute("plugdescribe"), "");
  EXPECT_FALSE(second->attribute("plugname"));  // names are case-sensitive
  EXPECT_FALSE(second->nextSibling());
  EXPECT_FALSE(second->firstChild());
}

TEST_F(XmlTest, ALocalFileLoadsLikeAUrlAndAMissingOneIsALoadError) {
  TestDir dir;
  writeAll(dir.file("Data.xml"), kCatalogue);
  auto doc = factory.createDocument();
  doc->load(dir.file("Data.xml"));
  EXPECT_EQ(childrenOf(*doc->documentElement()).size(), 4u);
  EXPECT_THROW(factory.createDocument()->load(dir.file("none.xml")), XmlLoadError);
}

TEST_F(XmlTest, NotWellFormedGivesTheThreeLineText) {
  const std::string line3 = "<Item plugName=\"a\" plugCName=\"一二三四五六七八九十甲乙丙\" <broken/>";
  std::string text;
  const auto report = loadError("<?xml version=\"1.0\"?>\n<plug>\n" + line3 + "\r\n</plug>\n", &text);
  EXPECT_EQ(report.line, 3);
  EXPECT_EQ(report.sourceText, line3);
  EXPECT_FALSE(report.reason.empty());
  EXPECT_EQ(text, report.reason + "\r\nLine: 3\r\n<Item plugName=\"a\" plugCName=\"一二三四五六七八九十");
}

TEST_F(XmlTest, ServerAnswersThatAreNotCataloguesAreLoadErrors) {
  // A typical error page: HTML, not well-formed XML.
  EXPECT_GT(loadError("<html><head><title>404</title></head><body>Not found<br></body></html>").line, 0);
  EXPECT_EQ(loadError("").line, 1);             // empty body: no document element
  loadError("<?xml version=\"1.0\"?>\n<!-- only a note -->\n");
  // Fetch failures carry the reason and line 0.
  for (const std::string& url : {server.url("/404"), server.url("/500"), refusedUrl()}) {
    try {
      factory.createDocument()->load(url);
      ADD_FAILURE() << url;
    } catch (const XmlLoadError& e) {
      EXPECT_EQ(e.report().line, 0);
      EXPECT_NE(e.report().reason.find("Could not fetch"), std::string::npos);
    }
  }
}

TEST_F(XmlTest, WellFormedHtmlLoadsWithItsChildren) {
  auto doc = load("page.xml", "<html><body><p>Not found</p></body></html>");
  auto root = doc->documentElement();
  const auto children = childrenOf(*root);
  ASSERT_EQ(children.size(), 1u);
  EXPECT_FALSE(children[0]->attribute("plugName"));
}

TEST_F(XmlTest, EmptyRootHasNoChildren) {
  auto doc = load("empty.xml", "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<plug/>\n");
  EXPECT_FALSE(doc->documentElement()->firstChild());
}

TEST_F(XmlTest, DtdsAndUnknownEntitiesAreRefused) {
  const auto dtd = loadError(
      "<?xml version=\"1.0\"?>\n<!DOCTYPE plug [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;\">]>\n"
      "<plug><Item plugName=\"&b;\"/></plug>");
  EXPECT_EQ(dtd.reason, "DTD is prohibited.");
  EXPECT_EQ(dtd.line, 2);

  const auto unknown = loadError("<plug>\n<Item plugName=\"x &nbsp; y\"/>\n</plug>");
  EXPECT_EQ(unknown.reason, "Reference to undeclared entity 'nbsp'.");
  EXPECT_EQ(unknown.line, 2);
  EXPECT_EQ(loadError("<plug><Item plugName=\"A & B\"/></plug>").line, 1);
  // The same characters inside comments and CDATA are text, not references.
  auto doc = load("ok.xml", "<plug><!-- &nbsp; & --><![CDATA[&x]]><Item plugName=\"&#65;&lt;\"/></plug>");
  EXPECT_EQ(childrenOf(*doc->documentElement()).at(2)->attribute("plugName"), "A<");
}

TEST_F(XmlTest, TwentyMegabyteCatalogueLoads) {
  std::string body = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n";
  const int items = 100000;
  for (int i = 0; i < items; ++i) {
    body += "<Item plugName=\"addon" + std::to_string(i) +
            "\" plugCName=\"插件名稱插件名稱\" plugfolder=\"Folder" + std::to_string(i) +
            "\" plugdescribe=\"這是一段很長的說明文字，用來把目錄撐到二十百萬位元組的大小，一二三四五六七八九十。\"/>\n";
  }
  body += "</plug>\n";
  ASSERT_GT(body.size(), 20u * 1000 * 1000);
  auto doc = load("big.xml", body);
  auto root = doc->documentElement();
  const auto children = childrenOf(*root);
  ASSERT_EQ(children.size(), static_cast<size_t>(items));
  EXPECT_EQ(children.back()->attribute("plugfolder"), "Folder" + std::to_string(items - 1));
}

}  // namespace
}  // namespace qv::test

namespace qv::test {
namespace {

// The demo catalogue is read by the same reading as the server's: every entry has its four
// attributes and an archive source folder holding the folders its folder list names.
TEST(DemoCatalogue, EveryEntryIsCompleteAndHasItsArchiveSource) {
  PugixmlFactory factory;
  auto doc = factory.createDocument();
  doc->load(std::string(QV_DEMO_DIR) + "/site/Data.xml");
  auto root = doc->documentElement();
  const auto children = childrenOf(*root);
  ASSERT_GE(children.size(), 8u);
  for (size_t i = 0; i < children.size(); ++i) {
    const auto& item = children[i];
    const auto name = item->attribute("plugName");
    ASSERT_TRUE(name && item->attribute("plugCName") && item->attribute("plugfolder") &&
                item->attribute("plugdescribe"))
        << "entry " << i;
    const std::string folder(*name);
    const std::string source = std::string(QV_DEMO_DIR) + "/addons/" + folder;
    EXPECT_TRUE(std::filesystem::is_directory(source + "/" + folder)) << source;
  }
  EXPECT_EQ(children[4]->attribute("plugfolder"), "ChatPlus,\"Chat Emotes\"");
  EXPECT_TRUE(std::filesystem::is_directory(std::string(QV_DEMO_DIR) + "/addons/ChatPlus/Chat Emotes"));
}

}  // namespace
}  // namespace qv::test
