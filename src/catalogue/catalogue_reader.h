#pragma once
// Reading the catalogue Data.xml: every child node of the document element becomes one add-on row,
// in document order, from its four attributes.
#include <string>

#include "catalogue/addon_list.h"
#include "common/error.h"
#include "platform/xml_document.h"

namespace qv::catalogue {

// An "Item" that lacks one of the four attributes (the text the user sees names the conversion that
// failed, as the catalogue's original engine reported it).
class MissingAttributeError : public qv::Error {
 public:
  MissingAttributeError() : qv::Error("Could not convert variant of type (Null) into type (String)") {}
};

// Adds one row per catalogue entry to `list`; `location` is a URL or a file path. Rows added before
// an error stay. Throws platform::XmlLoadError or MissingAttributeError.
void readCatalogue(const std::string& location, platform::XmlFactory& xml, AddonList& list);

}  // namespace qv::catalogue
