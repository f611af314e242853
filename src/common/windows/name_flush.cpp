// NTFS logs a file's name with the folder's metadata when the file's data are committed: there is no
// folder to flush on Windows.
#include "common/name_flush.h"

namespace qv::files {

bool flushNameToDisk(std::string_view) {
  return true;
}

}  // namespace qv::files
