// Existence probes on Windows through the standard library, which asks the wide-character API (and so
// copes with every character a player's folder names may hold).
#include <filesystem>

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

}  // namespace qv::path

namespace qv::path {

// Windows matches names without regard to case and drops trailing dots and blanks, so every question
// goes to the file system, which applies exactly those rules.
struct DirectoryProbe::Listing {};

DirectoryProbe::DirectoryProbe(std::string directoryWithSeparator)
    : directory_(std::move(directoryWithSeparator)), listing_(std::make_unique<Listing>()) {}

DirectoryProbe::~DirectoryProbe() = default;

bool DirectoryProbe::hasDirectory(std::string_view name) const {
  // The system would read such a name only up to the NUL, which names some other directory.
  if (name.find('\0') != std::string_view::npos) return false;
  return isDirectory(directory_ + std::string(name));
}

}  // namespace qv::path
