#pragma once
// Small text helpers shared by every subsystem. Texts are UTF-8 in memory.
#include <string>
#include <string_view>
#include <vector>

namespace qv::text {

// Removes characters with codes 0 to 32 from both ends (the program's one trimming rule).
std::string trim(std::string_view s);
// The same, as a view into `s`.
std::string_view trimView(std::string_view s);

// True when the text holds nothing but characters with codes 0 to 32.
inline bool isBlank(std::string_view s) { return trim(s).empty(); }

// The text of the standard error box: "." is added when the last character sorts after ".".
std::string withErrorFullStop(std::string_view message);

// Decodes one UTF-8 string to code points; invalid bytes become U+FFFD.
std::u32string utf8ToUtf32(std::string_view s);
std::string utf32ToUtf8(std::u32string_view s);

// ASCII-only case folding, as the private-profile format and zip patterns use it.
std::string asciiLower(std::string_view s);
bool equalsIgnoreAsciiCase(std::string_view a, std::string_view b);

}  // namespace qv::text
