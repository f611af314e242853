#include "portal/portal_page.h"

namespace qv::portal {

void trimToBanner(platform::WebBrowser& browser) {
  const std::unique_ptr<platform::HtmlDocument> document = browser.document();
  if (!document) return;
  const std::unique_ptr<platform::HtmlBody> body = document->body();
  if (!body) return;
  body->setBorderStyle("none");
  // The scroll attribute is reached by name, from the control's own automation object.
  browser.automation()->getObject("Document")->getObject("body")->put("Scroll", std::string("no"));
}

}  // namespace qv::portal
