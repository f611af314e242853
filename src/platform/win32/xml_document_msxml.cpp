#include "platform/win32/xml_document_msxml.h"

#include <windows.h>
#include <msxml2.h>
#include <oleauto.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/file_system.h"
#include "platform/bounded_download.h"
#include "platform/win32/com_scope.h"
#include "platform/win32/com_values.h"
#include "platform/win32/message_answering_wait.h"
#include "platform/win32/win32_text.h"

namespace qv::platform::win32 {

namespace {

using Microsoft::WRL::ComPtr;

// {2933BF95-7B36-11D2-B20E-00C04F983E60}: the SDK's import libraries do not carry this one.
constexpr IID kIidXmlDomDocument2 = {0x2933bf95, 0x7b36, 0x11d2, {0xb2, 0x0e, 0x00, 0xc0, 0x4f, 0x98, 0x3e, 0x60}};

// What every node of one document shares: COM on this thread, and the attribute names as BSTRs, made
// once per document rather than once per attribute read.
class DocumentState {
 public:
  // The name as a BSTR, kept for the life of the document.
  BSTR key(std::string_view name) {
    for (const auto& [text, bstr] : keys_)
      if (text == name) return bstr->get();
    keys_.emplace_back(std::string(name), std::make_unique<Bstr>(toWide(name)));
    return keys_.back().second->get();
  }

 private:
  ComScope com_;  // declared first: released last
  std::vector<std::pair<std::string, std::unique_ptr<Bstr>>> keys_;
};

using SharedState = std::shared_ptr<DocumentState>;

class MsxmlNode : public XmlNode {
 public:
  MsxmlNode(SharedState state, ComPtr<IXMLDOMNode> node) : state_(std::move(state)), node_(std::move(node)) {}

  std::unique_ptr<XmlNode> firstChild() const override {
    ComPtr<IXMLDOMNode> c;
    if (node_->get_firstChild(c.GetAddressOf()) != S_OK || !c) return nullptr;
    return std::make_unique<MsxmlNode>(state_, std::move(c));
  }

  std::unique_ptr<XmlNode> nextSibling() const override {
    ComPtr<IXMLDOMNode> c;
    if (node_->get_nextSibling(c.GetAddressOf()) != S_OK || !c) return nullptr;
    return std::make_unique<MsxmlNode>(state_, std::move(c));
  }

  std::optional<std::string_view> attribute(std::string_view name) const override {
    // A name holding a NUL would be cut short there by the engine and name another attribute.
    if (name.find('\0') != std::string_view::npos) return std::nullopt;
    if (!elementKnown_) {
      // Comments, instructions and text have no attributes.
      node_->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(element_.GetAddressOf()));
      elementKnown_ = true;
    }
    if (!element_) return std::nullopt;
    Variant value;
    if (element_->getAttribute(state_->key(name), value.get()) != S_OK || value.value().vt != VT_BSTR)
      return std::nullopt;
    const BSTR b = value.value().bstrVal;
    // Each value read is kept by the node, so every view handed out stays valid as long as the node.
    values_.push_back(b ? toUtf8(std::wstring_view(b, ::SysStringLen(b))) : std::string());
    return std::string_view(values_.back());
  }

 private:
  SharedState state_;  // declared first: released last
  ComPtr<IXMLDOMNode> node_;
  mutable ComPtr<IXMLDOMElement> element_;
  mutable bool elementKnown_ = false;
  // Elements of a deque never move (unlike a vector's, whose short strings would).
  mutable std::deque<std::string> values_;
};

std::string withoutTrailingBreaks(std::string s) {
  while (!s.empty() && (s.back() == '\r' || s.back() == '\n' || s.back() == ' ')) s.pop_back();
  return s;
}

bool isHttpUrl(const std::string& location) {
  std::string head = location.substr(0, 8);
  for (char& c : head)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return head.starts_with("http://") || head.starts_with("https://");
}

// A number of bytes the way a person reads it: whole MiB or KiB where it is one.
std::string sizeInWords(uint64_t bytes) {
  if (bytes >= (1u << 20) && bytes % (1u << 20) == 0) return std::to_string(bytes >> 20) + " MiB";
  if (bytes >= 1024 && bytes % 1024 == 0) return std::to_string(bytes >> 10) + " KiB";
  return std::to_string(bytes) + " bytes";
}

std::string secondsInWords(std::chrono::milliseconds span) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(span.count()) / 1000);
  return std::string(seconds) + " seconds";
}

// Why a fetch failed, in words, for the first line of the load error.
std::string fetchFailure(const std::string& location, int32_t result, const TransferBounds& bounds) {
  namespace dr = download_result;
  std::string why;
  switch (result) {
    case dr::kNotFound:
      why = "the server does not have it";
      break;
    case dr::kCannotConnect:
      why = "the server cannot be reached";
      break;
    case dr::kDownloadFailure:
      why = "the server answered with an error, or the transfer broke off";
      break;
    case dr::kCannotWrite:
      why = "the program folder cannot take a copy of it";
      break;
    case dr::kAborted:
      why = "the transfer was stopped";
      break;
    case dr::kTooLarge:
      why = "it is larger than the " + sizeInWords(bounds.maxBytes) + " a catalogue may be";
      break;
    case kTransferTimedOut:
      why = "the server was too slow: it sent nothing for " + secondsInWords(bounds.silence) + ", less than " +
            sizeInWords(bounds.minBytesPerSecond) + " a second, or not all of it within " +
            secondsInWords(bounds.deadline);
      break;
    default:
      why = "the transfer failed";
      break;
  }
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(static_cast<uint32_t>(result)));
  return "Could not fetch " + location + ": " + why + " (" + code + ").";
}

// A file that is removed when this goes, whatever happened in between.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  ~TemporaryFile() {
    if (!path_.empty()) files::removeFile(path_);
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

class MsxmlDocument : public XmlDocument {
 public:
  explicit MsxmlDocument(const MsxmlFactory::Fetching& fetching)
      : fetching_(fetching), state_(std::make_shared<DocumentState>()) {}

  void load(const std::string& location) override {
    doc_.Reset();
    if (!isHttpUrl(location)) {
      parse(location, location);
      return;
    }
    // The engine could fetch the address itself, but it would wait for a silent server without end,
    // on the main thread. Our own downloader fetches it with a bound on that wait, into a file in the
    // program folder that is gone again once the document is parsed.
    const TemporaryFile copy(files::createSiblingTemp(fetching_.scratchDirectory + "fetched.xml", ".fetch"));
    const TransferBounds& bounds = fetching_.bounds;
    if (copy.path().empty())
      throw XmlLoadError({fetchFailure(location, download_result::kCannotWrite, bounds), 0, ""});
    const int32_t result =
        downloadWithin(fetching_.downloader, {location, copy.path(), {bounds, {}}}, messageAnsweringWait());
    if (result != download_result::kOk) throw XmlLoadError({fetchFailure(location, result, bounds), 0, ""});
    // The engine is handed the file as a stream: given the file's name, it would read it again through
    // a URL moniker and its notification window, which under Wine costs as much as the fetch. A stream
    // on the file (rather than on a copy of it in memory) keeps the catalogue out of our memory
    // altogether; the engine's tree is the only whole form of it. The stream keeps the engine's own
    // reading of the encoding the document declares.
    ComPtr<IStream> stream = fileStream(copy.path());
    if (stream) {
      Variant from;
      from.get()->vt = VT_UNKNOWN;
      from.get()->punkVal = stream.Detach();
      parse(*from.get(), location);
    } else {
      parse(copy.path(), location);
    }
  }

  std::unique_ptr<XmlNode> documentElement() const override {
    if (!doc_) return nullptr;
    ComPtr<IXMLDOMElement> root;
    if (doc_->get_documentElement(root.GetAddressOf()) != S_OK || !root) return nullptr;
    ComPtr<IXMLDOMNode> node;
    if (FAILED(root->QueryInterface(IID_IXMLDOMNode, reinterpret_cast<void**>(node.GetAddressOf())))) return nullptr;
    return std::make_unique<MsxmlNode>(state_, std::move(node));
  }

 private:
  // Parses the document at `source` (a file, or an address the engine fetches itself); `location` is
  // what the user asked for, named in error texts.
  void parse(const std::string& source, const std::string& location) {
    Variant from;
    from.get()->vt = VT_BSTR;
    from.get()->bstrVal = ::SysAllocString(toWide(source).c_str());
    parse(*from.get(), location);
  }

  void parse(const VARIANT& from, const std::string& location) {
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

    VARIANT_BOOL ok = VARIANT_FALSE;
    const HRESULT hr = doc->load(from, &ok);
    if (FAILED(hr) || ok != VARIANT_TRUE) throw XmlLoadError(parseError(doc.Get(), hr, location));
    // Not every MSXML honours ProhibitDTD (Wine's accepts the property and ignores it); a document
    // that still arrives with a DTD is refused here.
    ComPtr<IXMLDOMDocumentType> doctype;
    if (doc->get_doctype(doctype.GetAddressOf()) == S_OK && doctype)
      throw XmlLoadError({"DTD is prohibited.", 0, ""});
    doc_ = std::move(doc);
  }

  // A stream reading the file, or null. It holds the file open (others may still read it) until the
  // engine lets it go, which is before the temporary file is removed.
  static ComPtr<IStream> fileStream(const std::string& path) {
    ComPtr<IStream> stream;
    if (FAILED(::SHCreateStreamOnFileEx(toWidePath(path).c_str(), STGM_READ | STGM_SHARE_DENY_WRITE,
                                        FILE_ATTRIBUTE_NORMAL, FALSE, nullptr, stream.GetAddressOf())))
      return nullptr;
    return stream;
  }

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

  const MsxmlFactory::Fetching& fetching_;
  SharedState state_;  // declared first of the two: released last
  ComPtr<IXMLDOMDocument2> doc_;
};

}  // namespace

MsxmlFactory::MsxmlFactory(UrlDownloader& downloader, std::string scratchDirectory, TransferBounds bounds)
    : fetching_{downloader, std::move(scratchDirectory), bounds} {}

std::unique_ptr<XmlDocument> MsxmlFactory::createDocument() { return std::make_unique<MsxmlDocument>(fetching_); }

}  // namespace qv::platform::win32
