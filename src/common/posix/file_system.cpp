// The file-system room on POSIX systems: plain system calls on the UTF-8 bytes of the path. The
// status check probes every catalogue row, so the probes skip building a std::filesystem::path.
#include "common/file_system.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <unordered_set>

#include "common/fault_seam.h"
#include "common/path.h"

namespace qv::files {

namespace {
bool statOf(std::string_view utf8, struct stat& st) {
  const std::string z(utf8);
  return ::stat(z.c_str(), &st) == 0;
}
bool lstatOf(std::string_view utf8, struct stat& st) {
  const std::string z(utf8);
  return ::lstat(z.c_str(), &st) == 0;
}

// A directory stream closed at the end of its scope, however the reading of it ends.
struct DirectoryCloser {
  void operator()(DIR* dir) const { ::closedir(dir); }
};
using DirectoryStream = std::unique_ptr<DIR, DirectoryCloser>;
}  // namespace

std::filesystem::path fsPath(std::string_view utf8) { return path::toFs(utf8); }

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
  return lstatOf(utf8, st);
}

bool isLink(std::string_view utf8) {
  struct stat st {};
  return lstatOf(utf8, st) && S_ISLNK(st.st_mode);
}

namespace {
PathKind kindOf(mode_t mode) {
  if (S_ISLNK(mode)) return PathKind::Link;
  if (S_ISDIR(mode)) return PathKind::Directory;
  if (S_ISREG(mode)) return PathKind::File;
  return PathKind::Other;
}
TreeEntry::Kind treeKindOf(PathKind kind) {
  return kind == PathKind::Directory ? TreeEntry::Kind::Directory
         : kind == PathKind::File    ? TreeEntry::Kind::File
                                     : TreeEntry::Kind::Other;
}
}  // namespace

PathKind pathKind(std::string_view utf8) {
  struct stat st {};
  return lstatOf(utf8, st) ? kindOf(st.st_mode) : PathKind::Missing;
}

bool createDirectories(std::string_view utf8) {
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  std::error_code ec;
  const std::filesystem::path p = fsPath(utf8);
  std::filesystem::create_directories(p, ec);
  return std::filesystem::is_directory(p, ec);
}

bool removeFile(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  struct stat st {};
  if (!lstatOf(utf8, st) || S_ISDIR(st.st_mode)) return false;
  const std::string z(utf8);
  return ::unlink(z.c_str()) == 0;
}

bool removeEmptyDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  const std::string z(utf8);
  return ::rmdir(z.c_str()) == 0;
}

bool removeTree(std::string_view utf8) {
  if (!seam::allow(seam::Operation::Delete, utf8)) return false;
  std::error_code ec;
  // remove_all removes links themselves and does not descend through them.
  std::filesystem::remove_all(fsPath(utf8), ec);
  return !ec && !exists(utf8);
}

bool renameReplacing(std::string_view from, std::string_view to) {
  if (!seam::allow(seam::Operation::Rename, to)) return false;
  if (isDirectory(to)) return false;
  const std::string a(from), b(to);
  return ::rename(a.c_str(), b.c_str()) == 0;
}

bool renameNoReplace(std::string_view from, std::string_view to) {
  if (!seam::allow(seam::Operation::Rename, to)) return false;
  const std::string a(from), b(to);
  struct stat st {};
  if (!lstatOf(from, st)) return false;
  if (!S_ISDIR(st.st_mode)) {
    // A hard link fails when the name is taken, whatever is there.
    if (::link(a.c_str(), b.c_str()) == 0) {
      ::unlink(a.c_str());
      return true;
    }
    if (errno == EEXIST) return false;
  }
  // Directories (which have no hard links) and file systems without links: check, then rename. The
  // program is the only writer of the folders it moves this way.
  if (exists(to)) return false;
  return ::rename(a.c_str(), b.c_str()) == 0;
}

int64_t modificationStamp(std::string_view utf8) {
  struct stat st {};
  if (!statOf(utf8, st)) return 0;
  return static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
}

int64_t fileSize(std::string_view utf8) {
  struct stat st {};
  if (!statOf(utf8, st) || !S_ISREG(st.st_mode)) return -1;
  return static_cast<int64_t>(st.st_size);
}

bool listTree(std::string_view directory, std::vector<TreeEntry>& entries) {
  namespace fs = std::filesystem;
  entries.clear();
  std::error_code ec;
  const fs::path root = fsPath(directory);
  // Without follow_directory_symlink the iterator lists a link and does not enter it.
  fs::recursive_directory_iterator it(root, fs::directory_options::none, ec);
  if (ec) return false;
  for (const fs::recursive_directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return false;
    const fs::file_status status = it->symlink_status(ec);
    if (ec) return false;
    TreeEntry entry;
    entry.relative = path::fromFs(it->path().lexically_relative(root).make_preferred());
    entry.link = fs::is_symlink(status);
    entry.kind = entry.link                    ? TreeEntry::Kind::Other
                 : fs::is_directory(status)    ? TreeEntry::Kind::Directory
                 : fs::is_regular_file(status) ? TreeEntry::Kind::File
                                               : TreeEntry::Kind::Other;
    entries.push_back(std::move(entry));
  }
  return !ec;
}

bool listDirectory(std::string_view directory, std::vector<TreeEntry>& entries) {
  entries.clear();
  std::string prefix = directory.empty() ? std::string(".") : std::string(directory);
  const DirectoryStream dir(::opendir(prefix.c_str()));
  if (!dir) return false;
  if (prefix.back() != '/') prefix += '/';
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    PathKind kind;
    switch (e->d_type) {
      case DT_LNK:
        kind = PathKind::Link;
        break;
      case DT_DIR:
        kind = PathKind::Directory;
        break;
      case DT_REG:
        kind = PathKind::File;
        break;
      default:  // file systems that do not say: asked of the entry itself, without following it
        kind = pathKind(prefix + name);
        break;
    }
    if (kind == PathKind::Missing) continue;  // gone meanwhile
    entries.push_back({name, treeKindOf(kind), kind == PathKind::Link});
  }
  return true;
}

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
  const DirectoryStream dir(::opendir(directory_.c_str()));
  if (!dir) return;  // an absent add-on directory holds nothing; questions then ask the file system
  while (const dirent* e = ::readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = e->d_type == DT_DIR;
    // Links and file systems that do not say what an entry is are looked at like a single question.
    if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) isDir = isDirectory(directory_ + name);
    if (isDir) listing_->directories.insert(name);
  }
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

}  // namespace qv::files
