#pragma once
// The engine takes its file-system calls from the program's one file-system room.
#include "common/file_system.h"

namespace qv::unzip {

using files::createDirectories;
using files::fsPath;
using files::isDirectory;
using files::longPathForm;
using files::modificationStamp;
using files::PathKind;
using files::pathKind;
using files::removeFile;
using files::renameReplacing;
using files::serviceName;

// Anything at that path, including a dangling link.
inline bool fileExists(std::string_view utf8) { return files::exists(utf8); }

}  // namespace qv::unzip
