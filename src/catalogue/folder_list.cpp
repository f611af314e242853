#include "catalogue/folder_list.h"

#include <algorithm>

namespace qv::catalogue {

namespace {
// Codes 1 to 32 count as blanks here.
bool isBlank(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  return u >= 1 && u <= 32;
}
}  // namespace

// Works on UTF-8, where no byte of a multi-byte character is a quote, a comma or a blank, so such
// characters are stepped over whole just as double-byte characters are in the system's code page.
std::vector<std::string> splitFolderList(std::string_view f) {
  std::vector<std::string> names;
  size_t i = 0;
  const size_t n = f.size();
  while (i < n && isBlank(f[i])) ++i;
  while (i < n) {
    std::string name;
    if (f[i] == '"') {
      ++i;
      // Runs between quotes are taken whole; a doubled quote stands for one.
      while (i < n) {
        const size_t quote = std::min(f.find('"', i), n);
        name.append(f, i, quote - i);
        i = quote;
        if (i == n) break;
        if (i + 1 < n && f[i + 1] == '"') {
          name += '"';
          i += 2;
          continue;
        }
        ++i;
        break;
      }
    } else {
      const size_t start = i;
      while (i < n && f[i] != ',' && !isBlank(f[i])) ++i;
      name.assign(f, start, i - start);
    }
    names.push_back(std::move(name));
    while (i < n && isBlank(f[i])) ++i;
    if (i < n && f[i] == ',') {
      if (i == n - 1) names.emplace_back();
      ++i;
      while (i < n && isBlank(f[i])) ++i;
    }
  }
  return names;
}

}  // namespace qv::catalogue
