#pragma once
// Splitting a folder list that holds a comma into folder names: blanks as well as commas separate
// names outside double quotes, a quoted name may hold both, and empty names are kept.
#include <string>
#include <string_view>
#include <vector>

namespace qv::catalogue {

std::vector<std::string> splitFolderList(std::string_view list);

}  // namespace qv::catalogue
