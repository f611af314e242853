#pragma once
// The engine's view of the program's one file layer (common/file_system.h): the calls it makes by
// their short names. Its files themselves are opened through NativeFile, on the same layer's
// descriptors.
#include "common/file_system.h"

namespace qv::unzip {

using files::createDirectories;
using files::fsPath;
using files::isDirectory;
using files::listDirectory;
using files::longPathForm;
using files::modificationStamp;
using files::PathKind;
using files::pathKind;
using files::removeFile;
using files::renameReplacing;
using files::serviceName;
using files::TreeEntry;

// Anything at that path, including a dangling link.
inline bool fileExists(std::string_view utf8) { return files::exists(utf8); }

}  // namespace qv::unzip
