// In process, with the Windows platform's own parts: the catalogue document fetched through our
// downloader from the add-on server and from a server that never answers (with a short silence limit,
// which the platform lets a test set), and the add-on folder probe against Windows name matching.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "common/file_system.h"
#include "driver/files.h"
#include "driver/site.h"
#include "driver/text.h"
#include "driver/wait.h"
#include "platform/win32/url_download_win32.h"
#include "platform/win32/xml_document_msxml.h"

namespace qv::e2e {
namespace {

using namespace std::chrono_literals;

std::string serverBase() {
  wchar_t buffer[512] = {};
  const DWORD n = GetEnvironmentVariableW(L"QV_E2E_BASE", buffer, 512);
  return n > 0 && n < 512 ? utf8(std::wstring(buffer, n)) : std::string();
}

// A folder of its own under the temporary folder, removed afterwards.
class TempFolder {
 public:
  TempFolder() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    path_ = std::wstring(temp) + L"qv-fetch-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
            std::to_wstring(GetTickCount64());
    makeDirectory(path_);
  }
  ~TempFolder() { removeTree(path_); }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  const std::wstring& path() const { return path_; }
  std::string utf8Path() const { return utf8(path_) + "\\"; }

 private:
  std::wstring path_;
};

// Accepts connections on a loopback port and never says a word, until it is closed.
class SilentServer {
 public:
  SilentServer() {
    WSADATA data;
    WSAStartup(MAKEWORD(2, 2), &data);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
    listen(listener_, 4);
    int length = sizeof address;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
    port_ = ntohs(address.sin_port);
    accepting_ = std::thread([this] {
      const SOCKET s = accept(listener_, nullptr, nullptr);
      if (s != INVALID_SOCKET) client_ = s;
    });
  }
  ~SilentServer() {
    hangUp();
    closesocket(listener_);  // ends a pending accept
    accepting_.join();
    WSACleanup();
  }
  SilentServer(const SilentServer&) = delete;
  SilentServer& operator=(const SilentServer&) = delete;

  std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/Data.xml"; }
  // Closes the connection it accepted, which ends the transfer on the other side.
  void hangUp() {
    const SOCKET s = client_.exchange(INVALID_SOCKET);
    if (s != INVALID_SOCKET) closesocket(s);
  }

 private:
  SOCKET listener_ = INVALID_SOCKET;
  std::atomic<SOCKET> client_{INVALID_SOCKET};
  int port_ = 0;
  std::thread accepting_;
};

class CatalogueFetchTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!serverBase().empty()) {
      withdrawCatalogue();
      clearFaults();
    }
  }

  // The load error of a document, or a failure when it loads.
  std::string loadError(platform::XmlFactory& factory, const std::string& url) {
    auto doc = factory.createDocument();
    try {
      doc->load(url);
    } catch (const platform::XmlLoadError& e) {
      return e.what();
    }
    ADD_FAILURE() << url << " loaded";
    return {};
  }

  TempFolder scratch;
  platform::win32::UrlMonDownloader downloader;
};

TEST_F(CatalogueFetchTest, ASilentServerEndsTheLoadAtTheSilenceLimitAndLeavesNoFileBehind) {
  SilentServer server;
  platform::TransferBounds bounds = platform::resource_bounds::kCatalogue;
  bounds.silence = 1500ms;
  platform::win32::MsxmlFactory factory(downloader, scratch.utf8Path(), bounds);
  const ULONGLONG start = GetTickCount64();
  const std::string text = loadError(factory, server.url());
  const double waited = static_cast<double>(GetTickCount64() - start) / 1000;
  EXPECT_GE(waited, 1.5);
  EXPECT_LT(waited, 10.0) << "the load waited for the transfer instead of the limit";
  EXPECT_EQ(text,
            "Could not fetch " + server.url() +
                ": the server was too slow: it sent nothing for 1.5 seconds, less than 1 KiB a second, or "
                "not all of it within 180 seconds (0x800C000B).\r\nLine: 0\r\n");
  // The abandoned transfer ends when the server hangs up, and takes its partial file with it.
  server.hangUp();
  EXPECT_TRUE(pollUntil([&] { return entryCount(scratch.path()) == 0; }, 20000))
      << entryCount(scratch.path()) << " files left in the program folder";
}

TEST_F(CatalogueFetchTest, ServerFailuresAreLoadErrorsThatSayWhatFailed) {
  const std::string base = serverBase();
  ASSERT_FALSE(base.empty()) << "QV_E2E_BASE is not set: run the suite through scripts/e2e";
  platform::win32::MsxmlFactory factory(downloader, scratch.utf8Path());
  publishCatalogue("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug><Item plugName=\"A\"/></plug>\n");
  const std::string missing = base + "/NoSuch.xml";
  EXPECT_EQ(loadError(factory, missing),
            "Could not fetch " + missing + ": the server does not have it (0x800C0005).\r\nLine: 0\r\n");
  const std::string failing = base + "/fault/500/Data.xml";
  EXPECT_EQ(loadError(factory, failing), "Could not fetch " + failing +
                                             ": the server answered with an error, or the transfer broke off "
                                             "(0x800C0008).\r\nLine: 0\r\n");
  const std::string cut = base + "/fault/truncate/Data.xml";
  EXPECT_NE(loadError(factory, cut).find(": the server answered with an error, or the transfer broke off"),
            std::string::npos);
  // Nothing is reachable on the discard port.
  EXPECT_EQ(loadError(factory, "http://127.0.0.1:9/Data.xml").rfind("Could not fetch http://127.0.0.1:9/Data.xml: ", 0),
            0u);
  EXPECT_EQ(entryCount(scratch.path()), 0u) << "a failed fetch left a file in the program folder";
}

TEST_F(CatalogueFetchTest, AFetchedDocumentParsesWithLineAndSourceInItsErrorsAndLeavesNoFile) {
  const std::string base = serverBase();
  ASSERT_FALSE(base.empty()) << "QV_E2E_BASE is not set: run the suite through scripts/e2e";
  platform::win32::MsxmlFactory factory(downloader, scratch.utf8Path());
  publishCatalogue(
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n"
      "  <Item plugName=\"劍網\" plugCName=\"中文 &amp; 名\" plugfolder=\"A,B\" plugdescribe=\"\"/>\n"
      "  <!-- note -->\n</plug>\n");
  auto doc = factory.createDocument();
  doc->load(base + "/Data.xml");
  auto item = doc->documentElement()->firstChild();
  ASSERT_TRUE(item);
  EXPECT_EQ(item->attribute("plugName"), "劍網");
  EXPECT_EQ(item->attribute("plugCName"), "中文 & 名");
  EXPECT_EQ(item->attribute("plugdescribe"), "");
  EXPECT_FALSE(item->attribute("plugname"));
  auto comment = item->nextSibling();
  ASSERT_TRUE(comment);
  EXPECT_FALSE(comment->attribute("plugName"));
  EXPECT_FALSE(comment->nextSibling());
  EXPECT_EQ(entryCount(scratch.path()), 0u) << "the fetched copy stayed in the program folder";

  // Not well-formed: the engine's reason, the line (MSXML names line 4, where </plug> closes an open
  // Item; Wine's engine reports no line at all, and then the text names the document) and its text.
  publishCatalogue("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plug>\n  <Item plugName=\"A\">\n</plug>\n");
  const std::string text = loadError(factory, base + "/Data.xml");
  const auto lineAt = text.find("\r\nLine: ");
  ASSERT_NE(lineAt, std::string::npos) << text;
  EXPECT_GT(lineAt, 0u) << "no reason";
  if (text.find("\r\nLine: 0\r\n") != std::string::npos)
    EXPECT_NE(text.find(base + "/Data.xml"), std::string::npos) << "a report without a line names no document: " << text;
  else
    EXPECT_NE(text.find("\r\nLine: 4\r\n</plug>"), std::string::npos) << text;
  EXPECT_EQ(entryCount(scratch.path()), 0u);
}

TEST_F(CatalogueFetchTest, ADocumentIsReadInTheEncodingItDeclaresOrMarks) {
  const std::string base = serverBase();
  ASSERT_FALSE(base.empty()) << "QV_E2E_BASE is not set: run the suite through scripts/e2e";
  platform::win32::MsxmlFactory factory(downloader, scratch.utf8Path());
  // The engine is given the bytes, and must still read them as the document says: E9 is "é" in
  // ISO-8859-1 and no character at all as UTF-8.
  publishCatalogue(
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n"
      "<plug><Item plugName=\"Caf\xE9\" plugCName=\"\" plugfolder=\"A\" plugdescribe=\"\"/></plug>\n");
  auto doc = factory.createDocument();
  doc->load(base + "/Data.xml");
  auto item = doc->documentElement()->firstChild();
  ASSERT_TRUE(item);
  EXPECT_EQ(item->attribute("plugName"), "Café");

  // UTF-16 with its byte-order mark and no declaration.
  const std::u16string text =
      u"<plug><Item plugName=\"劍網\" plugCName=\"中文\" plugfolder=\"A\" plugdescribe=\"\"/></plug>";
  std::string utf16 = "\xFF\xFE";
  for (const char16_t c : text) {
    utf16.push_back(static_cast<char>(c & 0xFF));
    utf16.push_back(static_cast<char>(c >> 8));
  }
  publishCatalogue(utf16);
  doc = factory.createDocument();
  doc->load(base + "/Data.xml");
  item = doc->documentElement()->firstChild();
  ASSERT_TRUE(item);
  EXPECT_EQ(item->attribute("plugName"), "劍網");
  EXPECT_EQ(item->attribute("plugCName"), "中文");
  EXPECT_EQ(entryCount(scratch.path()), 0u);
}

TEST(AddonFolderProbe, AnswersAsWindowsNameMatchingWould) {
  TempFolder folder;
  for (const wchar_t* name : {L"BagSort", L"Ünïcode", L"Chat Emotes"}) makeDirectory(folder.path() + L"\\" + name);
  writeBytes(folder.path() + L"\\File", "not a folder");
  const files::DirectoryProbe probe(folder.utf8Path());
  EXPECT_TRUE(probe.hasDirectory("BagSort"));
  EXPECT_TRUE(probe.hasDirectory("bagsort")) << "names match without regard to case";
  EXPECT_TRUE(probe.hasDirectory("BAGSORT"));
  EXPECT_TRUE(probe.hasDirectory("bagsort.")) << "a trailing dot is dropped by the system";
  EXPECT_TRUE(probe.hasDirectory("Chat Emotes"));
  EXPECT_TRUE(probe.hasDirectory("Ünïcode"));
  EXPECT_TRUE(probe.hasDirectory("ünÏCODE")) << "case folds outside ASCII too";
  EXPECT_TRUE(probe.hasDirectory("")) << "an empty name is the folder itself";
  EXPECT_FALSE(probe.hasDirectory("File")) << "a file is no installed add-on";
  EXPECT_FALSE(probe.hasDirectory("BagSor"));
  EXPECT_FALSE(probe.hasDirectory("Bag*"));
  EXPECT_FALSE(probe.hasDirectory("CON"));
  EXPECT_FALSE(probe.hasDirectory(std::string("BagSort\0x", 9)));
}

}  // namespace
}  // namespace qv::e2e
