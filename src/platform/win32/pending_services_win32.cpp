#include "platform/win32/pending_services_win32.h"

namespace qv::platform::win32 {

int32_t PendingDownloader::download(const std::string&, const std::string&, const ProgressCallback&) {
  return download_result::kFailed;
}

namespace {
class PendingXmlDocument : public XmlDocument {
 public:
  void load(const std::string& location) override {
    throw XmlLoadError(XmlParseError{"XML documents cannot be loaded in this build", 0, location});
  }
  std::unique_ptr<XmlNode> documentElement() const override { return nullptr; }
};
}  // namespace

std::unique_ptr<XmlDocument> PendingXmlFactory::createDocument() { return std::make_unique<PendingXmlDocument>(); }

}  // namespace qv::platform::win32
