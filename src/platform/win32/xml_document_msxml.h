#pragma once
// The XML document of the Windows build: MSXML 6 through COM, MSXML 3 where 6 is missing.
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
#include "platform/xml_document.h"

namespace qv::platform::win32 {

class MsxmlFactory : public XmlFactory {
 public:
  std::unique_ptr<XmlDocument> createDocument() override;
};

}  // namespace qv::platform::win32
