#pragma once
// The XML document of the native build, over pugixml.
//
// It is set up to show the catalogue reading the same document MSXML shows the Windows build:
// comments and processing instructions are child nodes, text that is only whitespace between
// elements is dropped, attribute values are normalised and the five predefined entities and
// character references are resolved.
//
// Documents with a document type declaration are refused ("DTD is prohibited."), as MSXML 6 refuses
// them in the Windows build: the catalogue comes over plain HTTP, and a DTD is the door to entity
// expansion attacks. Without a DTD no other entity can be declared, so a reference to any other
// entity is a load error, as in every conforming parser (pugixml alone would keep it as text).
#include "platform/headless/curl_downloader.h"
#include "platform/resource_bounds.h"
#include "platform/xml_document.h"

namespace qv::platform::headless {

class PugixmlFactory : public XmlFactory {
 public:
  // http(s) locations are fetched within `bounds`, the catalogue's unless a test says otherwise.
  explicit PugixmlFactory(TransferBounds bounds = resource_bounds::kCatalogue) : bounds_(bounds) {}
  std::unique_ptr<XmlDocument> createDocument() override;

 private:
  CurlGlobal global_;  // http(s) locations are fetched with libcurl
  TransferBounds bounds_;
};

// Parses a document held in memory; throws XmlLoadError. For tests and benchmarks that measure the
// parser alone; load() ends here too.
std::unique_ptr<XmlDocument> parseXmlDocument(std::string_view text);

}  // namespace qv::platform::headless
