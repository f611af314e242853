#pragma once
// The portal strip: every completed document is trimmed to a banner without border or scroll bars,
// so the strip shows the top of the page.
#include "platform/web_browser.h"

namespace qv::portal {

// Frames complete too; each time the top-level document is trimmed. A control without a document or
// body yet is left alone.
void trimToBanner(platform::WebBrowser& browser);

}  // namespace qv::portal
