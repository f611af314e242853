// The portal strip: every completed document is trimmed to a banner without border or scroll bars,
// so the strip shows the top of the page.
#include "mainwindow/main_window.h"

namespace qv::mainwindow {

void TForm1::WebBrowser1DocumentComplete() {
  // Frames complete too; each time the top-level document is trimmed.
  const std::unique_ptr<platform::HtmlDocument> document = WebBrowser1->document();
  if (!document) return;
  const std::unique_ptr<platform::HtmlBody> body = document->body();
  if (!body) return;
  body->setBorderStyle("none");
  // The scroll attribute is reached by name, from the control's own automation object.
  WebBrowser1->automation()->getObject("Document")->getObject("body")->put("Scroll", std::string("no"));
}

}  // namespace qv::mainwindow
