// The install's journal file: written front to back, each write asked of the fault seam, pushed to the
// disk with the name it was created under.
#include "common/fault_seam.h"
#include "common/file_descriptor.h"
#include "common/file_system.h"
#include "common/name_flush.h"

namespace qv::files {

AppendFile::~AppendFile() {
  close();
}

bool AppendFile::create(std::string_view utf8) {
  return openAs(utf8, OpenMode::AppendNew);
}

bool AppendFile::openToAppend(std::string_view utf8) {
  // The name may be new too (a file renamed into place): the first flush takes it along as well.
  return openAs(utf8, OpenMode::AppendExisting);
}

bool AppendFile::openAs(std::string_view utf8, OpenMode mode) {
  close();
  if (!seam::allow(seam::Operation::Create, utf8)) return false;
  path_ = std::string(utf8);
  fd_ = UniqueDescriptor(openDescriptor(path_, mode));
  nameFlushed_ = false;
  return fd_.valid();
}

bool AppendFile::append(std::string_view bytes) {
  if (!fd_.valid()) return false;
  const auto mayWrite = [this] { return seam::allow(seam::Operation::Write, path_); };
  return writeFully(fd_.get(), bytes.data(), bytes.size(), mayWrite) == bytes.size();
}

bool AppendFile::flushToDisk() {
  if (!fd_.valid() || !seam::allow(seam::Operation::Flush, path_)) return false;
  if (!flushDescriptor(fd_.get())) return false;
  if (!nameFlushed_) nameFlushed_ = flushNameToDisk(path_);
  return nameFlushed_;
}

bool AppendFile::close() {
  if (!fd_.valid()) return true;
  const bool allowed = seam::allow(seam::Operation::Close, path_);
  return fd_.close() && allowed;
}

}  // namespace qv::files
