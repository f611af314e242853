#include "catalogue/catalogue_reader.h"

namespace qv::catalogue {

namespace {
std::string requireAttribute(const platform::XmlNode& node, const char* name) {
  std::optional<std::string> v = node.attribute(name);
  if (!v) throw MissingAttributeError();
  return std::move(*v);
}
}  // namespace

void readCatalogue(const std::string& location, platform::XmlFactory& xml, AddonList& list) {
  // The document lives only for this one reading.
  std::unique_ptr<platform::XmlDocument> doc = xml.createDocument();
  doc->load(location);
  std::unique_ptr<platform::XmlNode> root = doc->documentElement();
  if (!root) return;
  const int n = root->childCount();
  // Rows queue up and are ordered once at the end (also when an error ends the reading early), which
  // keeps large catalogues fast.
  AddonList::Batch batch(list);
  list.reserve(n);
  for (int i = 0; i < n; ++i) {
    std::unique_ptr<platform::XmlNode> item = root->child(i);
    // Attributes are read in this order, so the first one missing is the one reported.
    std::string name = requireAttribute(*item, "plugName");
    std::string chineseName = requireAttribute(*item, "plugCName");
    std::string folders = requireAttribute(*item, "plugfolder");
    std::string description = requireAttribute(*item, "plugdescribe");
    list.addRow(std::move(name), std::move(chineseName), std::move(description), std::move(folders));
  }
}

}  // namespace qv::catalogue
