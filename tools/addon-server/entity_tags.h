#pragma once
// Entity tags as a static server makes and compares them: a file's tag changes with its size or its
// modification time, which is all such a server knows of a change.
#include <cstdint>
#include <string>
#include <string_view>

namespace addon_server {

// A strong tag, "<size hex>-<modification time in nanoseconds hex>", quotes included.
std::string fileEntityTag(uint64_t size, int64_t mtimeNs);

// If-None-Match: true when the field ("*" or a list of tags) names `tag` by weak comparison.
bool noneMatchNames(std::string_view field, std::string_view tag);

// If-Range: true when the field is exactly one strong tag equal to `tag`, itself strong.
bool strongMatch(std::string_view field, std::string_view tag);

}  // namespace addon_server
