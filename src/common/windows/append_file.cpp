// The journal's file on Windows: the C runtime's _commit (FlushFileBuffers) pushes it to the disk. NTFS
// logs the name itself with the folder's metadata, so there is no folder to flush.
#include <fcntl.h>
#include <io.h>
#include <share.h>
#include <sys/stat.h>

#include <algorithm>

#include "common/fault_seam.h"
#include "common/file_system.h"

namespace qv::files {

AppendFile::~AppendFile() {
  close();
}

bool AppendFile::create(std::string_view utf8) {
  close();
  if (!seam::allow(seam::Operation::Create, utf8)) return false;
  path_ = std::string(utf8);
  // _O_EXCL is CREATE_NEW: it fails when anything, a link included, has the name.
  fd_ = _wsopen(fsPath(path_).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_APPEND | _O_BINARY, _SH_DENYWR,
                _S_IREAD | _S_IWRITE);
  nameFlushed_ = true;
  return fd_ >= 0;
}

bool AppendFile::openToAppend(std::string_view utf8) {
  close();
  if (!seam::allow(seam::Operation::Create, utf8)) return false;
  path_ = std::string(utf8);
  fd_ = _wsopen(fsPath(path_).c_str(), _O_WRONLY | _O_APPEND | _O_BINARY, _SH_DENYWR);
  nameFlushed_ = true;
  return fd_ >= 0;
}

bool AppendFile::append(std::string_view bytes) {
  if (fd_ < 0) return false;
  size_t done = 0;
  while (done < bytes.size()) {
    if (!seam::allow(seam::Operation::Write, path_)) return false;
    const unsigned chunk = static_cast<unsigned>(std::min<size_t>(bytes.size() - done, 1u << 30));
    const int n = _write(fd_, bytes.data() + done, chunk);
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

bool AppendFile::flushToDisk() {
  if (fd_ < 0 || !seam::allow(seam::Operation::Flush, path_)) return false;
  return _commit(fd_) == 0;
}

bool AppendFile::close() {
  if (fd_ < 0) return true;
  const bool allowed = seam::allow(seam::Operation::Close, path_);
  const bool ok = _close(fd_) == 0;
  fd_ = -1;
  return ok && allowed;
}

}  // namespace qv::files
