#pragma once
// Stand-ins for the URL download and the XML document until their Windows implementations land:
// every download fails and every document refuses to load, so the program runs and reports failures.
#include "platform/url_download.h"
#include "platform/xml_document.h"

namespace qv::platform::win32 {

class PendingDownloader : public UrlDownloader {
 public:
  int32_t download(const std::string& url, const std::string& filePath, const ProgressCallback& progress) override;
};

class PendingXmlFactory : public XmlFactory {
 public:
  std::unique_ptr<XmlDocument> createDocument() override;
};

}  // namespace qv::platform::win32
