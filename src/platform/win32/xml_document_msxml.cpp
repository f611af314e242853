#include "platform/win32/xml_document_msxml.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <initializer_list>
#include <list>
#include <string>
#include <utility>

#include "platform/win32/com_scope.h"
#include "platform/win32/com_values.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// {2933BF95-7B36-11D2-B20E-00C04F983E60}: the SDK's import libraries do not carry this one.
constexpr IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// COM for as long as a document or a node of it lives on this thread.
using SharedCom = std::shared_ptr<ComScope>;

class MsxmlNode : public XmlNode {
 public:
  MsxmlNode(SharedCom com, ComPtr<IXMLDOMNode> node) : com_(std::move(com)), node_(std::move(node)) {
    node_->get_childNodes(children_.GetAddressOf());
  }

  int childCount() const override {
    long n = 0;
    if (!children_ || FAILED(children_->get_length(&n))) return 0;
    return static_cast<int>(n);
  }

  std::unique_ptr<XmlNode> child(int index) const override {
    ComPtr<IXMLDOMNode> c;
    if (!children_ || children_->get_item(index, c.GetAddressOf()) != S_OK || !c) return nullptr;
    return std::make_unique<MsxmlNode>(com_, std::move(c));
  }

  std::optional<std::string_view> attribute(std::string_view name) const override {
    ComPtr<IXMLDOMElement> element;
    if (FAILED(node_->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element.GetAddressOf()))))
      return std::nullopt;  // comments, instructions and text have no attributes
    Variant value;
    const Bstr key(toWide(name));
    if (element->getAttribute(key.get(), value.get()) != S_OK || value.value().vt != VT_BSTR) return std::nullopt;
    const BSTR b = value.value().bstrVal;
    // Each value read is kept by the node, so every view handed out stays valid as long as the node.
    values_.push_back(b ? toUtf8(std::wstring_view(b, ::SysStringLen(b))) : std::string());
    return std::string_view(values_.back());
  }

 private:
  SharedCom com_;  // declared first: released last
  ComPtr<IXMLDOMNode> node_;
  ComPtr<IXMLDOMNodeList> children_;
  // A list whose elements never move (unlike a vector's, whose short strings would).
  mutable std::list<std::string> values_;
};

std::string withoutTrailingBreaks(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

class MsxmlDocument : public XmlDocument {
 public:
  MsxmlDocument() : com_(std::make_shared<ComScope>()) {}

  void load(const std::string& location) override {
    doc_.Reset();
    ComPtr<IXMLDOMDocument2> doc = createEngine();
    if (!doc) throw XmlLoadError({"Neither MSXML 6.0 nor MSXML 3.0 is available.", 0, ""});
    doc->put_async(VARIANT_FALSE);
    doc->put_validateOnParse(VARIANT_FALSE);
    doc->put_resolveExternals(VARIANT_FALSE);
    doc->put_preserveWhiteSpace(VARIANT_FALSE);
    {
      Variant prohibit;
      prohibit.get()->vt = VT_BOOL;
      prohibit.get()->boolVal = VARIANT_TRUE;
      const Bstr name(L"ProhibitDTD");
      doc->setProperty(name.get(), *prohibit.get());  // an MSXML 3 without the property parses as before
    }

    Variant source;
    source.get()->vt = VT_BSTR;
    source.get()->bstrVal = ::SysAllocString(toWide(location).c_str());
    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = doc->load(*source.get(), &ok);
    if (FAILED(hr) || ok != VARIANT_TRUE) throw XmlLoadError(parseError(doc.Get(), hr, location));
    // Not every MSXML honours ProhibitDTD (Wine's accepts the property and ignores it); a document
    // that still arrives with a DTD is refused here.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (doc->get_doctype(doctype.GetAddressOf()) == S_OK && doctype)
      throw XmlLoadError({"DTD is prohibited.", 0, ""});
    doc_ = std::move(doc);
  }

  std::unique_ptr<XmlNode> documentElement() const override {
    if (!doc_) return nullptr;
    ComPtr<IXMLDOMElement> root;
    if (doc_->get_documentElement(root.GetAddressOf()) != S_OK || !root) return nullptr;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf())))) return nullptr;
    return std::make_unique<MsxmlNode>(com_, std::move(node));
  }

 private:
  static ComPtr<IXMLDOMDocument2> createEngine() {
    for (const wchar_t* progId : {L"Msxml2.DOMDocument.6.0", L"Msxml2.DOMDocument.3.0"}) {
      CLSID clsid;
      if (FAILED(::CLSIDFromProgID(progId, &clsid))) continue;
      ComPtr<IXMLDOMDocument2> doc;
      if (SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, kIidXmlDomDocument2,
                                       reinterpret_cast<void**>(doc.GetAddressOf()))))
        return doc;
    }
    return nullptr;
  }

  static XmlParseError parseError(IXMLDOMDocument2* doc, HRESULT hr, const std::string& location) {
    XmlParseError report;
    ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(doc->get_parseError(error.GetAddressOf())) && error) {
      Bstr reason, source;
      long line = 0;
      long errorCode = 0;
      if (SUCCEEDED(error->get_errorCode(&errorCode)) && errorCode != 0) hr = static_cast<HRESULT>(errorCode);
      error->get_reason(reason.out());
      error->get_line(&line);
      error->get_srcText(source.out());
      report.reason = withoutTrailingBreaks(reason.utf8());
      report.line = line;
      report.sourceText = source.utf8();
    }
    // Some engines (Wine's among them) report every failure as a bare "error" on line 0, which tells
    // the user nothing; then the document's address and the error code say at least what failed.
    if (report.reason.empty() || (report.reason == "error" && report.line == 0 && report.sourceText.empty())) {
      char code[32];
      std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(hr));
      report.reason = "The document " + location + " could not be loaded (" + code + ").";
    }
    return report;
  }

  SharedCom com_;  // declared first: released last
  ComPtr<IXMLDOMDocument2> doc_;
};

}  // namespace

std::unique_ptr<XmlDocument> MsxmlFactory::createDocument() { return std::make_unique<MsxmlDocument>(); }

}  // namespace qv::platform::win32
