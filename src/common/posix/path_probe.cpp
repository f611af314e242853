// Existence probes on POSIX file systems: one stat() on the UTF-8 path as it stands. The status check
// probes every catalogue row, so this skips building a std::filesystem::path for each.
#include <sys/stat.h>

#include <string>

#include "common/path.h"

namespace qv::path {

namespace {
bool statOf(std::string_view utf8, struct stat& st) {
  const std::string z(utf8);
  return ::stat(z.c_str(), &st) == 0;
}
}  // namespace

bool isDirectory(std::string_view utf8) {
  struct stat st {};
  return statOf(utf8, st) && S_ISDIR(st.st_mode);
}

bool isFile(std::string_view utf8) {
  struct stat st {};
  return statOf(utf8, st) && S_ISREG(st.st_mode);
}

bool exists(std::string_view utf8) {
  struct stat st {};
  return statOf(utf8, st);
}

}  // namespace qv::path

#include <dirent.h>

#include <unordered_set>

namespace qv::path {

struct DirectoryProbe::Listing {
  // Looked up by string_view without building a string per question.
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };
  std::unordered_set<std::string, Hash, std::equal_to<>> directories;
  bool complete = false;
};

DirectoryProbe::DirectoryProbe(std::string directoryWithSeparator)
    : directory_(std::move(directoryWithSeparator)), listing_(std::make_unique<Listing>()) {
  DIR* dir = ::opendir(directory_.c_str());
  if (!dir) return;  // an absent add-on directory holds nothing; questions then ask the file system
  while (const dirent* e = ::readdir(dir)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = e->d_type == DT_DIR;
    // Links and file systems that do not say what an entry is are looked at like a single question.
    if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) isDir = isDirectory(directory_ + name);
    if (isDir) listing_->directories.insert(name);
  }
  ::closedir(dir);
  listing_->complete = true;
}

DirectoryProbe::~DirectoryProbe() = default;

bool DirectoryProbe::hasDirectory(std::string_view name) const {
  // The system would read such a name only up to the NUL, which names some other directory.
  if (name.find('\0') != std::string_view::npos) return false;
  // Names that reach further than one level (or back up) are not in the listing.
  if (!listing_->complete || name.empty() || name.find('/') != std::string_view::npos || name == "." || name == "..")
    return isDirectory(directory_ + std::string(name));
  return listing_->directories.find(name) != listing_->directories.end();
}

}  // namespace qv::path
