#include "platform/xml_document.h"

#include <string>

namespace qv::platform {

namespace {
// The three-line load error text: reason, CR LF, "Line: n", CR LF, the first 40 characters of the line.
std::string loadErrorText(const XmlParseError& r) {
  size_t count = 0;
  std::string head;
  for (size_t i = 0; i < r.sourceText.size() && count < 40;) {
    const unsigned char c = static_cast<unsigned char>(r.sourceText[i]);
    size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    head.append(r.sourceText, i, len);
    i += len;
    ++count;
  }
  return r.reason + "\r\n" + "Line" + ": " + std::to_string(r.line) + "\r\n" + head;
}
}  // namespace

XmlLoadError::XmlLoadError(XmlParseError report) : qv::Error(loadErrorText(report)), report_(std::move(report)) {}

}  // namespace qv::platform
