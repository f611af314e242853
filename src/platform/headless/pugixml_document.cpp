#include "platform/headless/pugixml_document.h"

#include <cctype>
#include <fstream>
#include <optional>
#include <pugixml.hpp>
#include <sstream>
#include <vector>

#include "common/path.h"
#include "common/text.h"

namespace qv::platform::headless {

namespace {

// The parsed tree is shared by the document and every node handed out, so a node stays valid even
// when the caller lets the document go first.
using Tree = std::shared_ptr<pugi::xml_document>;

class PugixmlNode : public XmlNode {
 public:
  PugixmlNode(Tree tree, pugi::xml_node node) : tree_(std::move(tree)), node_(node) {}

  std::unique_ptr<XmlNode> firstChild() const override { return wrap(node_.first_child()); }
  std::unique_ptr<XmlNode> nextSibling() const override { return wrap(node_.next_sibling()); }

  std::optional<std::string_view> attribute(std::string_view name) const override {
    if (node_.type() != pugi::node_element) return std::nullopt;
    // pugixml wants a terminated name; a name holding a NUL matches no attribute.
    if (name.find('\0') != std::string_view::npos) return std::nullopt;
    char shortName[64];
    std::string longName;
    const char* terminated = shortName;
    if (name.size() < sizeof shortName) {
      name.copy(shortName, name.size());
      shortName[name.size()] = '\0';
    } else {
      longName = name;
      terminated = longName.c_str();
    }
    // The search starts after the attribute found last: a catalogue item's attributes are read in the
    // order they are written, so each is found at once. The values live in the tree, which this node
    // keeps alive.
    const pugi::xml_attribute a = node_.attribute(terminated, hint_);
    if (!a) return std::nullopt;
    return std::string_view(a.value());
  }

 private:
  std::unique_ptr<XmlNode> wrap(pugi::xml_node node) const {
    return node ? std::make_unique<PugixmlNode>(tree_, node) : nullptr;
  }

  Tree tree_;
  pugi::xml_node node_;
  mutable pugi::xml_attribute hint_;
};

// Line number (from 1) and text of the line holding `offset`, from the raw bytes.
XmlParseError errorAt(std::string_view text, size_t offset, std::string reason) {
  if (offset > text.size()) offset = text.size();
  long line = 1;
  size_t lineStart = 0;
  for (size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      ++line;
      lineStart = i + 1;
    }
  }
  size_t lineEnd = text.find_first_of("\r\n", lineStart);
  if (lineEnd == std::string_view::npos) lineEnd = text.size();
  // The engine reads UTF-8; whatever did not decode is shown as U+FFFD rather than passed on raw.
  std::string source = text::utf32ToUtf8(text::utf8ToUtf32(text.substr(lineStart, lineEnd - lineStart)));
  return XmlParseError{std::move(reason), line, std::move(source)};
}

bool isNameStart(unsigned char c) { return std::isalpha(c) || c == '_' || c == ':' || c >= 0x80; }
bool isNameChar(unsigned char c) { return isNameStart(c) || std::isdigit(c) || c == '.' || c == '-'; }

// Only byte-oriented (UTF-8 and ASCII-compatible) input is scanned; pugixml converts the others.
bool isByteOriented(std::string_view t) {
  if (t.size() >= 2 && ((t[0] == '\xFF' && t[1] == '\xFE') || (t[0] == '\xFE' && t[1] == '\xFF'))) return false;
  for (size_t i = 0; i < t.size() && i < 4; ++i)
    if (t[i] == '\0') return false;
  return true;
}

// pugixml keeps a reference it does not know as literal text; a conforming parser refuses it.
// Runs on a document pugixml accepted, so comments, CDATA sections and PIs are properly closed.
std::optional<XmlParseError> findBadReference(std::string_view t) {
  auto skipPast = [&](size_t from, std::string_view end) {
    const size_t p = t.find(end, from);
    return p == std::string_view::npos ? t.size() : p + end.size();
  };
  for (size_t i = 0; i < t.size();) {
    if (t[i] == '<' && t.compare(i, 4, "<!--") == 0) {
      i = skipPast(i + 4, "-->");
    } else if (t[i] == '<' && t.compare(i, 9, "<![CDATA[") == 0) {
      i = skipPast(i + 9, "]]>");
    } else if (t[i] == '<' && t.compare(i, 2, "<?") == 0) {
      i = skipPast(i + 2, "?>");
    } else if (t[i] == '&') {
      size_t j = i + 1;
      bool ok = false;
      std::string name;
      if (j < t.size() && t[j] == '#') {
        ++j;
        const bool hex = j < t.size() && t[j] == 'x';
        if (hex) ++j;
        const size_t digits = j;
        while (j < t.size() && (hex ? std::isxdigit(static_cast<unsigned char>(t[j]))
                                    : std::isdigit(static_cast<unsigned char>(t[j]))))
          ++j;
        ok = j > digits && j < t.size() && t[j] == ';';
        if (!ok) return errorAt(t, i, "A character reference must be '&#' digits ';' or '&#x' hex digits ';'.");
      } else {
        if (j < t.size() && isNameStart(static_cast<unsigned char>(t[j]))) {
          while (j < t.size() && isNameChar(static_cast<unsigned char>(t[j]))) ++j;
          name = std::string(t.substr(i + 1, j - i - 1));
        }
        if (name.empty() || j >= t.size() || t[j] != ';')
          return errorAt(t, i, "A '&' must begin an entity or character reference.");
        if (name != "amp" && name != "lt" && name != "gt" && name != "quot" && name != "apos")
          return errorAt(t, i, "Reference to undeclared entity '" + name + "'.");
      }
      i = j + 1;
    } else {
      ++i;
    }
  }
  return std::nullopt;
}

class PugixmlDocument : public XmlDocument {
 public:
  explicit PugixmlDocument(const TransferBounds& bounds) : bounds_(bounds) {}

  void load(const std::string& location) override {
    const std::string lower = text::asciiLower(location.substr(0, 8));
    if (lower.starts_with("http://") || lower.starts_with("https://")) {
      MemoryFetch fetched = fetchToMemory(location, bounds_);
      if (fetched.result != download_result::kOk)
        throw XmlLoadError({"Could not fetch " + location + ": " + fetched.errorText + ".", 0, ""});
      parse(fetched.body);
      return;
    }
    std::string path = location;
    if (lower.starts_with("file://")) path = location.substr(7);
    std::ifstream in(path::toFs(path), std::ios::binary);
    if (!in) throw XmlLoadError({"Could not open the file " + path + ".", 0, ""});
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) throw XmlLoadError({"Could not read the file " + path + ".", 0, ""});
    parse(content.str());
  }

  std::unique_ptr<XmlNode> documentElement() const override {
    if (!tree_) return nullptr;
    const pugi::xml_node root = tree_->document_element();
    if (!root) return nullptr;
    return std::make_unique<PugixmlNode>(tree_, root);
  }

  void parse(std::string_view text) {
    tree_.reset();
    auto tree = std::make_shared<pugi::xml_document>();
    constexpr unsigned options = pugi::parse_default | pugi::parse_comments | pugi::parse_pi | pugi::parse_doctype;
    const pugi::xml_parse_result r = tree->load_buffer(text.data(), text.size(), options, pugi::encoding_auto);
    const bool bytes = isByteOriented(text);
    if (!r) {
      const size_t offset = r.offset > 0 ? static_cast<size_t>(r.offset) : 0;
      throw XmlLoadError(bytes ? errorAt(text, offset, r.description()) : XmlParseError{r.description(), 0, ""});
    }
    for (pugi::xml_node n = tree->first_child(); n; n = n.next_sibling()) {
      if (n.type() == pugi::node_doctype) {
        const size_t at = bytes ? text.find("<!DOCTYPE") : std::string_view::npos;
        throw XmlLoadError(at != std::string_view::npos ? errorAt(text, at, "DTD is prohibited.")
                                                         : XmlParseError{"DTD is prohibited.", 0, ""});
      }
    }
    // Only a document with an "&" in it can hold a reference; most catalogues have none.
    if (bytes && text.find('&') != std::string_view::npos) {
      if (auto bad = findBadReference(text)) throw XmlLoadError(std::move(*bad));
    }
    tree_ = std::move(tree);
  }

 private:
  Tree tree_;
  TransferBounds bounds_;
};

}  // namespace

std::unique_ptr<XmlDocument> PugixmlFactory::createDocument() {
  return std::make_unique<PugixmlDocument>(bounds_);
}

std::unique_ptr<XmlDocument> parseXmlDocument(std::string_view text) {
  auto doc = std::make_unique<PugixmlDocument>(resource_bounds::kCatalogue);
  doc->parse(text);
  return doc;
}

}  // namespace qv::platform::headless
