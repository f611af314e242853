// On the file systems the native build runs on, a name is its bytes: "Foo" and "foo" are two files.
#include "common/file_name_key.h"

namespace qv::files {

std::string fileNameKey(std::string_view utf8) {
  return std::string(utf8);
}

}  // namespace qv::files
