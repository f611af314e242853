#pragma once
// HTTP dates: written as IMF-fixdate ("Sun, 06 Nov 1994 08:49:37 GMT"), read in all three forms a
// client may send (IMF-fixdate, the obsolete RFC 850 form and C's asctime form).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace addon_server {

std::string formatHttpDate(int64_t secondsSinceEpoch);

// Seconds since the epoch, or nothing when `text` is not exactly one HTTP date.
std::optional<int64_t> parseHttpDate(std::string_view text);

}  // namespace addon_server
