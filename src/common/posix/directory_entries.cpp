// One folder's entries, single folders, and names as the file system compares them, on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/fault_seam.h"
#include "common/file_system.h"
#include "common/path.h"

namespace qv::files {

bool listDirectory(std::string_view directory, std::vector<TreeEntry>& entries) {
  entries.clear();
  std::string dir(directory);
  DIR* d = ::opendir(dir.c_str());
  if (!d) return false;
  if (!dir.empty() && dir.back() != '/') dir += '/';
  bool ok = true;
  for (;;) {
    errno = 0;
    const dirent* e = ::readdir(d);
    if (!e) {
      ok = errno == 0;
      break;
    }
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    TreeEntry entry{name, TreeEntry::Kind::Other};
    unsigned char type = e->d_type;
    if (type == DT_UNKNOWN) {
      struct stat st {};
      const std::string full = dir + name;
      if (::lstat(full.c_str(), &st) == 0)
        type = S_ISDIR(st.st_mode) ? DT_DIR : S_ISREG(st.st_mode) ? DT_REG : DT_LNK;
    }
    if (type == DT_DIR) entry.kind = TreeEntry::Kind::Directory;
    if (type == DT_REG) entry.kind = TreeEntry::Kind::File;
    entries.push_back(std::move(entry));
  }
  ::closedir(d);
  return ok;
}

bool createDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  const std::string z(utf8);
  return ::mkdir(z.c_str(), 0777) == 0;
}

std::string nameKey(std::string_view name) {
  return std::string(name);
}

std::string storedName(std::string_view utf8) {
  struct stat st {};
  const std::string z(utf8);
  if (::lstat(z.c_str(), &st) != 0) return {};
  return std::string(path::fileNameOf(utf8));
}

}  // namespace qv::files
