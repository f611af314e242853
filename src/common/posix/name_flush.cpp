// POSIX file systems keep a name only once its folder is synced as well.
#include "common/name_flush.h"

#include <fcntl.h>
#include <unistd.h>

#include "common/file_descriptor.h"
#include "common/path.h"

namespace qv::files {

bool flushNameToDisk(std::string_view filePath) {
  const std::string folder = path::directoryWithSeparator(filePath);
  const UniqueDescriptor dir(::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  return dir.valid() && ::fsync(dir.get()) == 0;
}

}  // namespace qv::files
