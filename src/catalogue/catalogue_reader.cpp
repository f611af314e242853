#include "catalogue/catalogue_reader.h"

namespace qv::catalogue {

namespace {
std::string_view requireAttribute(const platform::XmlNode& node, std::string_view name) {
  const std::optional<std::string_view> v = node.attribute(name);
  if (!v) throw MissingAttributeError();
  return *v;
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
    const std::string_view name = requireAttribute(*item, "plugName");
    const std::string_view chineseName = requireAttribute(*item, "plugCName");
    const std::string_view folders = requireAttribute(*item, "plugfolder");
    const std::string_view description = requireAttribute(*item, "plugdescribe");
    list.addRow(name, chineseName, description, folders);
  }
}

}  // namespace qv::catalogue
