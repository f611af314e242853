#pragma once
// The XML document of the Windows build: MSXML 6 through COM, MSXML 3 where 6 is missing.
//
// A document at an http(s) address is fetched with the platform's downloader, within the catalogue's
// bounds (its cap, its time limits), into a temporary file in the scratch folder (the program folder)
// and parsed from there, through a stream on the file; the file is gone once the document is parsed
// or the load failed. The engine's own fetch would wait for a server that accepts and never answers
// without end, on the main thread, and knows no cap; this one ends at the bounds with a load error
// naming the address and why (as does any failed fetch: no server, 404, 500, a body cut short). Files
// and other locations go to the engine as they are. While the fetch runs, the thread answers the
// messages other threads and processes send its windows, as the engine's own blocking load did, and
// its windows keep painting.
//
// Parse options: synchronous load, no validation, no external entities, whitespace-only text
// dropped, and no document type declarations ("ProhibitDTD", MSXML 6's own default, set on both
// versions): the catalogue comes over plain HTTP and a DTD is the door to entity expansion attacks.
// The native build's pugixml document refuses DTDs the same way, so both builds read the same
// documents. A load error carries MSXML's reason (without its trailing line break), line and source
// text.
//
// COM is initialised (apartment-threaded) on the calling thread while a document or any of its nodes
// lives; documents are used on the thread that created them.
#include <string>

#include "platform/bounded_download.h"
#include "platform/resource_bounds.h"
#include "platform/url_download.h"
#include "platform/xml_document.h"

namespace qv::platform::win32 {

class MsxmlFactory : public XmlFactory {
 public:
  // `scratchDirectory` ends with a separator; the downloader outlives the factory.
  MsxmlFactory(UrlDownloader& downloader, std::string scratchDirectory,
               TransferBounds bounds = resource_bounds::kCatalogue);
  std::unique_ptr<XmlDocument> createDocument() override;

  struct Fetching {
    UrlDownloader& downloader;
    std::string scratchDirectory;
    TransferBounds bounds;
  };

 private:
  Fetching fetching_;
};

}  // namespace qv::platform::win32
