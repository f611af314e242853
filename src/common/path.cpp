#include "common/path.h"

namespace qv::path {

bool removeFile(std::string_view utf8) {
  std::error_code ec;
  if (std::filesystem::is_directory(toFs(utf8), ec)) return false;
  return std::filesystem::remove(toFs(utf8), ec);
}

}  // namespace qv::path
