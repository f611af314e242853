#pragma once
// The embedded web browser control and the page it shows, as far as the program reaches into it.
#include <memory>
#include <string>

#include "platform/automation.h"
#include "platform/ui.h"

namespace qv::platform {

// The body element of a page.
class HtmlBody {
 public:
  virtual ~HtmlBody() = default;
  // Sets the border style through the element's style object ("none" takes the border away).
  virtual void setBorderStyle(const std::string& style) = 0;
};

// The document the control shows.
class HtmlDocument {
 public:
  virtual ~HtmlDocument() = default;
  // The body element; null when the document has none (yet).
  virtual std::unique_ptr<HtmlBody> body() = 0;
};

// A browser control. Loading runs inside the control; its events arrive on the main thread and their
// handlers run inside the error boundary. Where the system has no browser engine the control stays an
// empty area: navigating then does nothing and no event comes.
class WebBrowser : public Control {
 public:
  // Starts loading an address (no flags, no target frame, no post data, no extra headers); returns
  // at once.
  virtual void navigate(const std::string& url) = 0;
  // Runs for every completed document, frames within a page included.
  virtual void setOnDocumentComplete(Handler handler) = 0;
  // The control's current top-level document; null when there is none.
  virtual std::unique_ptr<HtmlDocument> document() = 0;
  // The control's own automation object, for late-bound access by member name. Throws
  // AutomationError where there is no browser engine.
  virtual std::unique_ptr<AutomationObject> automation() = 0;
};

}  // namespace qv::platform
