// Stand-ins until the libcurl downloader and the pugixml document are in: every download fails and
// every document fails to load, which the program reports as it reports a server that is down.
#include "platform/headless/headless_platform.h"

namespace qv::platform::headless {

namespace {
class NoDownloader : public UrlDownloader {
 public:
  int32_t download(const std::string&, const std::string&, const ProgressCallback&) override {
    return download_result::kCannotConnect;
  }
};
class NoXml : public XmlFactory {
 public:
  std::unique_ptr<XmlDocument> createDocument() override {
    throw XmlLoadError({"no XML engine in this build", 0, ""});
  }
};
}  // namespace

std::unique_ptr<UrlDownloader> makeDownloader() { return std::make_unique<NoDownloader>(); }
std::unique_ptr<XmlFactory> makeXmlFactory() { return std::make_unique<NoXml>(); }

}  // namespace qv::platform::headless
