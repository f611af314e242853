// Second names for files and copies that keep their stamps, on POSIX systems.
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "common/fault_seam.h"
#include "common/file_descriptor.h"
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
  const std::string target(to);
  struct stat st {};
  const UniqueDescriptor in(openDescriptor(from, OpenMode::ReadShared));
  if (!in.valid()) return false;
  if (::fstat(in.get(), &st) != 0 || !S_ISREG(st.st_mode) || !seam::allow(seam::Operation::Create, to))
    return false;
  // Never through a link planted at the name, never over anything.
  UniqueDescriptor out(openDescriptor(to, OpenMode::CreateNew, st.st_mode & 07777));
  if (!out.valid()) return false;
  const auto mayWrite = [to] { return seam::allow(seam::Operation::Write, to); };
  bool ok = true;
  char buffer[65536];
  for (;;) {
    const long long n = readSome(in.get(), buffer, sizeof buffer);
    if (n < 0) ok = false;
    if (n <= 0) break;
    if (writeFully(out.get(), buffer, static_cast<size_t>(n), mayWrite) != static_cast<size_t>(n)) {
      ok = false;
      break;
    }
  }
  const struct timespec times[2] = {st.st_atim, st.st_mtim};
  if (ok) ok = seam::allow(seam::Operation::SetTime, to) && ::futimens(out.get(), times) == 0;
  if (!seam::allow(seam::Operation::Close, to)) ok = false;
  if (!out.close()) ok = false;
  if (!ok) ::unlink(target.c_str());
  return ok;
}

}  // namespace qv::files
