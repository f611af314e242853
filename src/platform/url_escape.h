#pragma once
// How both builds put a URL on the wire.
#include <string>

namespace qv::platform {

// The program puts add-on names into URLs as they are. Blanks, control characters and non-ASCII
// characters are sent percent-encoded as UTF-8 (what Windows' own URL handling does by default), so
// any name reaches the server the same way in both builds.
std::string escapeUrlForWire(const std::string& url);

}  // namespace qv::platform
