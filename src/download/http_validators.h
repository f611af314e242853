#pragma once
// What a server says about the version of a file it sent (its ETag and Last-Modified), read as the
// hostile text it may be: a validator this program cannot keep or send back safely is no validator.
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace qv::download {

struct Validators {
  std::string etag;          // as sent, quotes and W/ included; empty: none
  std::string lastModified;  // as sent; empty: none

  bool any() const { return !etag.empty() || !lastModified.empty(); }
  bool operator==(const Validators&) const = default;
};

// The validators of an answer worth keeping: each one that is short, printable ASCII (so it can go
// back into a request header and into the index as it is), and, for the date, a date this program can
// read that is not ahead of `now` (a date in the future would make the server call every later version
// unchanged). An empty field is one that was dropped.
Validators keepable(std::string_view etag, std::string_view lastModified,
                    std::chrono::system_clock::time_point now);

// A strong ETag: quoted and not marked W/ (the only kind a range may be resumed against).
bool isStrongEtag(std::string_view etag);

// An HTTP date in the IMF-fixdate form ("Sun, 06 Nov 1994 08:49:37 GMT"); nothing for any other text.
std::optional<std::chrono::sys_seconds> parseHttpDate(std::string_view text);

// "bytes FIRST-LAST/COMPLETE" of a 206 answer; nothing for anything else (an unknown length "*" too).
struct ContentRange {
  uint64_t first = 0;
  uint64_t last = 0;
  uint64_t complete = 0;
};
std::optional<ContentRange> parseContentRange(std::string_view text);

}  // namespace qv::download
