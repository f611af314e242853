#pragma once
// The random part of the names the program makes for its temporaries and staging folders, and the
// test that tells such a part from any other text. Those names are then recognised by their shape
// alone, so making and recognising go through this one place.
#include <cstddef>
#include <string>
#include <string_view>

namespace qv {

inline constexpr size_t kRandomHexDigits = 16;

// kRandomHexDigits fresh random lower-case hex digits. Any thread: each has its own generator, so
// workers creating temporaries side by side share none.
std::string randomHex();

// True when `s` is exactly kRandomHexDigits lower-case hex digits, as randomHex makes them.
bool isRandomHex(std::string_view s);

}  // namespace qv
