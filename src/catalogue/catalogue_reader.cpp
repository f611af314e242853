#include "catalogue/catalogue_reader.h"

#include "catalogue/archive_check.h"

namespace qv::catalogue {

namespace {
std::string_view requireAttribute(const platform::XmlNode& node, std::string_view name) {
  const std::optional<std::string_view> v = node.attribute(name);
  if (!v) throw MissingAttributeError();
  return *v;
}
}  // namespace

void forEachEntry(const platform::XmlNode& root, const std::function<void(const CatalogueEntry&)>& entry) {
  for (std::unique_ptr<platform::XmlNode> item = root.firstChild(); item; item = item->nextSibling()) {
    CatalogueEntry e;
    // Attributes are read in this order, so the first one missing is the one reported.
    e.name = requireAttribute(*item, "plugName");
    e.chineseName = requireAttribute(*item, "plugCName");
    e.folderList = requireAttribute(*item, "plugfolder");
    e.description = requireAttribute(*item, "plugdescribe");
    // Optional: catalogues without them (and programs that do not read them) are unaffected.
    e.archiveDigest = item->attribute(kDigestAttribute);
    e.archiveSize = item->attribute(kSizeAttribute);
    entry(e);
  }
}

void readCatalogue(const std::string& location, platform::XmlFactory& xml, AddonList& list) {
  // The document lives only for this one reading.
  std::unique_ptr<platform::XmlDocument> doc = xml.createDocument();
  doc->load(location);
  std::unique_ptr<platform::XmlNode> root = doc->documentElement();
  if (!root) return;
  // Rows queue up and are ordered once at the end (also when an error ends the reading early), which
  // keeps large catalogues fast.
  AddonList::Batch batch(list);
  forEachEntry(*root, [&list](const CatalogueEntry& e) {
    list.addRow(e.name, e.chineseName, e.description, e.folderList,
                ArchiveExpectation::fromAttributes(e.archiveDigest, e.archiveSize));
  });
}

}  // namespace qv::catalogue
