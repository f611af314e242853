// The catalogue reading over the native XML document, on any bytes a server can answer with. The
// same bytes are read twice, loaded from memory and from a file, and must give the same rows or the
// same error.
#include <memory>
#include <optional>

#include "catalogue/catalogue_reader.h"
#include "fuzz_support.h"
#include "platform/headless/headless_ui.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/locale_collation.h"
#include "platform/headless/pugixml_document.h"

namespace {

using namespace qv;

// A document that loads the fuzz input whatever location it is given.
class MemoryDocument : public platform::XmlDocument {
 public:
  explicit MemoryDocument(std::string_view text) : text_(text) {}
  void load(const std::string&) override { doc_ = platform::headless::parseXmlDocument(text_); }
  std::unique_ptr<platform::XmlNode> documentElement() const override {
    return doc_ ? doc_->documentElement() : nullptr;
  }

 private:
  std::string_view text_;
  std::unique_ptr<platform::XmlDocument> doc_;
};

class MemoryFactory : public platform::XmlFactory {
 public:
  explicit MemoryFactory(std::string_view text) : text_(text) {}
  std::unique_ptr<platform::XmlDocument> createDocument() override {
    return std::make_unique<MemoryDocument>(text_);
  }

 private:
  std::string_view text_;
};

struct Reading {
  std::string error;  // the error's text, empty when there was none
  std::vector<std::string> rows;
};

Reading read(const std::string& location, platform::XmlFactory& xml) {
  static platform::headless::LocaleCollation collation;
  static const platform::headless::IconvCodec codec(950, 950);
  platform::headless::HeadlessListView view{nullptr, {"ListView1", 0, {}, ""}};
  catalogue::AddonList list(view, collation, codec);
  Reading r;
  try {
    catalogue::readCatalogue(location, xml, list);
  } catch (const std::exception& e) {
    r.error = e.what();
  }
  for (int i = 0; i < list.count(); ++i) {
    std::string row(list.name(i));
    for (int sub : {catalogue::kChineseName, catalogue::kDescription, catalogue::kFolderList})
      row.append("\x1F").append(list.subItem(i, sub));
    r.rows.push_back(std::move(row));
  }
  return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static fuzz::ScratchDirectory scratch("qv-fuzz-catalogue");
  static platform::headless::PugixmlFactory files;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MemoryFactory memory(text);
  const Reading fromMemory = read("Data.xml", memory);
  const std::string path = scratch.file("Data.xml");
  fuzz::writeFile(path, data, size);
  const Reading fromFile = read(path, files);
  fuzz::require(fromMemory.error == fromFile.error,
                "loading from memory and from a file disagree on the error");
  fuzz::require(fromMemory.rows == fromFile.rows, "loading from memory and from a file disagree on the rows");
  return 0;
}
