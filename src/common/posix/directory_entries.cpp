// Single folders made exclusively, and the name the file system holds for an entry, on POSIX systems.
#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>

#include "common/fault_seam.h"
#include "common/file_system.h"
#include "common/path.h"

namespace qv::files {

bool createDirectory(std::string_view utf8) {
  if (!seam::allow(seam::Operation::MakeDirectory, utf8)) return false;
  const std::string z(utf8);
  return ::mkdir(z.c_str(), 0777) == 0;
}

std::string storedName(std::string_view utf8) {
  struct stat st {};
  const std::string z(utf8);
  if (::lstat(z.c_str(), &st) != 0) return {};
  return std::string(path::fileNameOf(utf8));
}

}  // namespace qv::files
