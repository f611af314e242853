// The journal's file on POSIX systems: fsync for the data, and once for the folder that holds its name.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "common/fault_seam.h"
#include "common/file_system.h"
#include "common/path.h"

namespace qv::files {

AppendFile::~AppendFile() {
  close();
}

bool AppendFile::create(std::string_view utf8) {
  close();
  if (!seam::allow(seam::Operation::Create, utf8)) return false;
  path_ = std::string(utf8);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_APPEND | O_CLOEXEC, 0666);
  nameFlushed_ = false;
  return fd_ >= 0;
}

bool AppendFile::openToAppend(std::string_view utf8) {
  close();
  if (!seam::allow(seam::Operation::Create, utf8)) return false;
  path_ = std::string(utf8);
  fd_ = ::open(path_.c_str(), O_WRONLY | O_NOFOLLOW | O_APPEND | O_CLOEXEC);
  // The name may be new too (a file renamed into place): the first flush takes the folder along.
  nameFlushed_ = false;
  return fd_ >= 0;
}

bool AppendFile::append(std::string_view bytes) {
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    if (!seam::allow(seam::Operation::Write, path_)) return false;
    const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool AppendFile::flushToDisk() {
  if (fd_ < 0 || !seam::allow(seam::Operation::Flush, path_)) return false;
  if (::fsync(fd_) != 0) return false;
  if (nameFlushed_) return true;
  // A new file's name lives in its folder: without this a power cut may keep the data but lose the name.
  const std::string folder = path::directoryWithSeparator(path_);
  const int dir = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return false;
  const bool ok = ::fsync(dir) == 0;
  ::close(dir);
  nameFlushed_ = ok;
  return ok;
}

bool AppendFile::close() {
  if (fd_ < 0) return true;
  const bool allowed = seam::allow(seam::Operation::Close, path_);
  const bool ok = ::close(fd_) == 0;
  fd_ = -1;
  return ok && allowed;
}

}  // namespace qv::files
