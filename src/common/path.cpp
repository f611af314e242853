#include "common/path.h"

namespace qv::path {

bool isDirectory(std::string_view utf8) {
  std::error_code ec;
  return std::filesystem::is_directory(toFs(utf8), ec);
}

bool isFile(std::string_view utf8) {
  std::error_code ec;
  return std::filesystem::is_regular_file(toFs(utf8), ec);
}

bool exists(std::string_view utf8) {
  std::error_code ec;
  return std::filesystem::exists(toFs(utf8), ec);
}

bool removeFile(std::string_view utf8) {
  std::error_code ec;
  if (std::filesystem::is_directory(toFs(utf8), ec)) return false;
  return std::filesystem::remove(toFs(utf8), ec);
}

}  // namespace qv::path
