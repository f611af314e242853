#pragma once
// Reading the catalogue Data.xml: every child node of the document element becomes one add-on row,
// in document order, from its four attributes.
#include <functional>
#include <optional>
#include <string>
#include <string_view>

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

// The four texts of one catalogue entry and the two optional attributes that describe its archive;
// views into the document, valid during the call they are handed to.
struct CatalogueEntry {
  std::string_view name;
  std::string_view chineseName;
  std::string_view folderList;
  std::string_view description;
  std::optional<std::string_view> archiveDigest;  // "sha256"
  std::optional<std::string_view> archiveSize;    // "size"
};

// Hands every child of `root` to `entry`, in document order. Throws MissingAttributeError at the
// first child that lacks one of the four attributes; the children before it have been handed on.
void forEachEntry(const platform::XmlNode& root, const std::function<void(const CatalogueEntry&)>& entry);

// Adds one row per catalogue entry to `list`; `location` is a URL or a file path. Rows added before
// an error stay. Throws platform::XmlLoadError or MissingAttributeError.
void readCatalogue(const std::string& location, platform::XmlFactory& xml, AddonList& list);

}  // namespace qv::catalogue
