#include "platform/headless/headless_web_browser.h"

#include "platform/error_boundary.h"

namespace qv::platform::headless {

namespace {

class RecordedBody : public HtmlBody {
 public:
  explicit RecordedBody(std::shared_ptr<AutomationRecord> body) : body_(std::move(body)) {}
  void setBorderStyle(const std::string& style) override {
    RecordingAutomationObject(body_).getObject("style")->put("borderStyle", style);
  }

 private:
  std::shared_ptr<AutomationRecord> body_;
};

class RecordedDocument : public HtmlDocument {
 public:
  explicit RecordedDocument(std::shared_ptr<AutomationRecord> document) : document_(std::move(document)) {}
  std::unique_ptr<HtmlBody> body() override {
    const auto it = document_->objects.find("body");
    if (it == document_->objects.end() || !it->second) return nullptr;
    return std::make_unique<RecordedBody>(it->second);
  }

 private:
  std::shared_ptr<AutomationRecord> document_;
};

}  // namespace

HeadlessWebBrowser::HeadlessWebBrowser(HeadlessContainerBase* parent, const ControlSpec& spec)
    : HeadlessControl(parent, spec), record_(std::make_shared<AutomationRecord>()) {}

std::unique_ptr<HtmlDocument> HeadlessWebBrowser::document() {
  const auto it = record_->objects.find("Document");
  if (it == record_->objects.end() || !it->second) return nullptr;
  return std::make_unique<RecordedDocument>(it->second);
}

std::unique_ptr<AutomationObject> HeadlessWebBrowser::automation() {
  return std::make_unique<RecordingAutomationObject>(record_);
}

void HeadlessWebBrowser::loadDocument(bool withBody) {
  auto document = std::make_shared<AutomationRecord>();
  if (withBody) document->object("body").object("style");
  record_->objects["Document"] = std::move(document);
}

void HeadlessWebBrowser::clearDocument() {
  record_->objects.erase("Document");
}

void HeadlessWebBrowser::completeDocument() {
  if (onDocumentComplete_) runGuarded(parent_->dialogs(), onDocumentComplete_);
}

}  // namespace qv::platform::headless
