// Second names for files and copies that keep their stamps, on POSIX systems.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/fault_seam.h"
#include "common/file_system.h"

namespace qv::files {

LinkResult createHardLink(std::string_view existing, std::string_view newName) {
  if (!seam::allow(seam::Operation::Link, newName)) return LinkResult::Failed;
  const std::string from(existing), to(newName);
  if (::link(from.c_str(), to.c_str()) == 0) return LinkResult::Linked;
  switch (errno) {
    case EEXIST:
      return LinkResult::NameTaken;
    case EPERM:  // vfat and other volumes without links say this
    case EXDEV:
    case EMLINK:
    case EOPNOTSUPP:
      return LinkResult::Unsupported;
    default:
      return LinkResult::Failed;
  }
}

bool copyFileKeepingStamps(std::string_view from, std::string_view to) {
  const std::string source(from), target(to);
  struct stat st {};
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode) || !seam::allow(seam::Operation::Create, to)) {
    ::close(in);
    return false;
  }
  // Never through a link planted at the name, never over anything.
  const int out =
      ::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  bool ok = true;
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ok = false;
    if (n <= 0) break;
    ssize_t done = 0;
    while (ok && done < n) {
      if (!seam::allow(seam::Operation::Write, to)) {
        ok = false;
        break;
      }
      const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w <= 0)
        ok = false;
      else
        done += w;
    }
    if (!ok) break;
  }
  ::close(in);
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok) ok = seam::allow(seam::Operation::SetTime, to) && ::futimens(out, times) == 0;
  if (!seam::allow(seam::Operation::Close, to)) ok = false;
  if (::close(out) != 0) ok = false;
  if (!ok) ::unlink(target.c_str());
  return ok;
}

}  // namespace qv::files
