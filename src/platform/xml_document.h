#pragma once
// The XML document object the catalogue reading needs: load from a URL or a file, the document
// element, its child nodes in document order, attributes by name.
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "common/error.h"

namespace qv::platform {

// The engine's parse-error report.
struct XmlParseError {
  std::string reason;  // the engine's own wording
  long line = 0;
  std::string sourceText;  // source text of the offending line
};

class XmlLoadError : public qv::Error {
 public:
  explicit XmlLoadError(XmlParseError report);
  const XmlParseError& report() const { return report_; }

 private:
  XmlParseError report_;
};

class XmlNode {
 public:
  virtual ~XmlNode() = default;
  // The child nodes in document order, comments and processing instructions included: the first, and
  // from each the next under the same parent; null past the last. A walk from sibling to sibling
  // costs the same for every node (taking a child by its index costs, in some engines, a walk from
  // the first child on).
  virtual std::unique_ptr<XmlNode> firstChild() const = 0;
  virtual std::unique_ptr<XmlNode> nextSibling() const = 0;
  // The attribute's value (entities resolved), or nothing when the node has no such attribute. The
  // text stays valid as long as this node: a large catalogue is read without a copy per value.
  virtual std::optional<std::string_view> attribute(std::string_view name) const = 0;
};

class XmlDocument {
 public:
  virtual ~XmlDocument() = default;
  // Loads synchronously, without validation, external entities or whitespace-only text nodes.
  // Throws XmlLoadError.
  virtual void load(const std::string& location) = 0;
  virtual std::unique_ptr<XmlNode> documentElement() const = 0;
};

class XmlFactory {
 public:
  virtual ~XmlFactory() = default;
  virtual std::unique_ptr<XmlDocument> createDocument() = 0;
};

}  // namespace qv::platform
