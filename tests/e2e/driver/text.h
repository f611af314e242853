#pragma once
// Conversions between the UTF-16 of the Windows API and the byte strings the tests compare and print.
#include <string>
#include <string_view>

namespace qv::e2e {

std::string utf8(std::wstring_view text);
std::wstring wide(std::string_view utf8Text);
// Bytes of text in the given Windows code page (950 is Big5); throws when a character has no mapping.
std::string encode(std::wstring_view text, unsigned codePage);

}  // namespace qv::e2e
