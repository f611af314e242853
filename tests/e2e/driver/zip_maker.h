#pragma once
// Small zip archives for the add-on server to hand out: stored entries with their CRC, names in UTF-8
// (flagged so), in the order given. Enough for archives shaped like add-ons.
#include <string>
#include <utility>
#include <vector>

namespace qv::e2e {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;  // name (UTF-8, "/" separated), bytes

std::string makeZip(const ZipEntries& entries);

}  // namespace qv::e2e
