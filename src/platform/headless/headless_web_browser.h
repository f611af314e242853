#pragma once
// A browser control for the native tests: it records the addresses it is sent to and holds a page
// model the test sets up (a document or none, a body or none). Its automation object is a recording
// one whose "Document" holds the page and whose "body" the body, so early- and late-bound access reach
// the same state. A test completes a document to run the control's event handler.
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless_automation.h"
#include "platform/headless/headless_ui.h"
#include "platform/web_browser.h"

namespace qv::platform::headless {

class HeadlessWebBrowser : public HeadlessControl<WebBrowser> {
 public:
  HeadlessWebBrowser(HeadlessContainerBase* parent, const ControlSpec& spec);

  void navigate(const std::string& url) override { navigations_.push_back(url); }
  void setOnDocumentComplete(Handler handler) override { onDocumentComplete_ = std::move(handler); }
  std::unique_ptr<HtmlDocument> document() override;
  std::unique_ptr<AutomationObject> automation() override;

  const std::vector<std::string>& navigations() const { return navigations_; }
  // A page arrives: a document, with or without a body. The body's style object comes with it.
  void loadDocument(bool withBody);
  // No document at all (nothing loaded, or the engine gave none).
  void clearDocument();
  // The document-complete event, dispatched as the control dispatches it (inside the error boundary).
  void completeDocument();
  // The control's automation object and the page under it, for looking at what the program did.
  AutomationRecord& record() { return *record_; }
  // The body's record (made when missing).
  AutomationRecord& body() { return record_->object("Document").object("body"); }

 private:
  std::vector<std::string> navigations_;
  Handler onDocumentComplete_;
  std::shared_ptr<AutomationRecord> record_;
};

}  // namespace qv::platform::headless
