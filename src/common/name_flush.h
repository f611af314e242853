#pragma once
// A new file's name lives in its folder: without pushing the folder too, a power cut may keep the
// file's data but lose its name.
#include <string_view>

namespace qv::files {

// The folder entry that names the file at `filePath` reaches the disk. True where the file system
// logs names with the data already (NTFS), so there is nothing to push.
bool flushNameToDisk(std::string_view filePath);

}  // namespace qv::files
