// catalogue-digests: gives every item of a catalogue the "sha256" and "size" of its archive.
//
//   catalogue-digests CATALOGUE.xml ARCHIVE_FOLDER [OUTPUT.xml]
//
// The archive of an item is ARCHIVE_FOLDER/<plugName, trimmed>.zip, as the server serves it under
// /zip/. The catalogue is written to OUTPUT.xml (default: over itself, whole or not at all) with its
// layout kept; an item whose archive is not in the folder keeps what it had and is named on stderr.
// Exit status 0 on success, 1 when the catalogue cannot be read or written, 2 for a bad command line.
#include <cstdio>
#include <pugixml.hpp>
#include <sstream>
#include <string>

#include "catalogue/archive_check.h"
#include "common/file_system.h"
#include "common/text.h"
#include "platform/headless/openssl_crypto.h"

namespace {

void setAttribute(pugi::xml_node item, const char* name, const std::string& value) {
  pugi::xml_attribute attribute = item.attribute(name);
  if (!attribute) attribute = item.append_attribute(name);
  attribute.set_value(value.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3 && argc != 4) {
    std::fputs("usage: catalogue-digests CATALOGUE.xml ARCHIVE_FOLDER [OUTPUT.xml]\n", stderr);
    return 2;
  }
  const std::string catalogue = argv[1];
  const std::string folder = argv[2];
  const std::string output = argc == 4 ? argv[3] : catalogue;

  pugi::xml_document document;
  // Whitespace between the items, comments and the declaration stay as they were.
  const unsigned options = pugi::parse_default | pugi::parse_declaration | pugi::parse_comments |
                           pugi::parse_pi | pugi::parse_ws_pcdata;
  const pugi::xml_parse_result parsed = document.load_file(catalogue.c_str(), options);
  if (!parsed) {
    std::fprintf(stderr, "catalogue-digests: %s: %s at byte %lld\n", catalogue.c_str(), parsed.description(),
                 static_cast<long long>(parsed.offset));
    return 1;
  }
  const qv::platform::headless::OpenSslCrypto crypto;
  int described = 0;
  for (pugi::xml_node item : document.document_element().children()) {
    if (item.type() != pugi::node_element || !item.attribute("plugName")) continue;
    const std::string name = qv::text::trim(item.attribute("plugName").value());
    const std::string archive = folder + "/" + name + ".zip";
    const int64_t size = qv::files::isFile(archive) ? qv::files::fileSize(archive) : -1;
    const auto digest = size >= 0 ? crypto.sha256OfFile(archive) : std::nullopt;
    if (!digest) {
      std::fprintf(stderr, "catalogue-digests: no archive %s; the item keeps what it had\n", archive.c_str());
      continue;
    }
    setAttribute(item, qv::catalogue::kDigestAttribute, qv::platform::toHex(*digest));
    setAttribute(item, qv::catalogue::kSizeAttribute, std::to_string(size));
    ++described;
  }
  std::ostringstream saved;
  document.save(saved, "", pugi::format_raw, pugi::encoding_utf8);
  // The line break after the declaration is no node of the document; it goes back in.
  std::string text = saved.str();
  if (const size_t end = text.find("?>");
      text.starts_with("<?xml") && end != std::string::npos && text.compare(end + 2, 1, "\n") != 0)
    text = text.substr(0, end + 2) + "\n" + text.substr(end + 2);
  if (!qv::files::writeFileReplacing(output, text)) {
    std::fprintf(stderr, "catalogue-digests: cannot write %s\n", output.c_str());
    return 1;
  }
  std::printf("%d items described\n", described);
  return 0;
}
