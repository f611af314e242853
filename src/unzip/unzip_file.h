#pragma once
// The install command's routine: extract one archive into one directory with the settings the program
// always uses. The engine's public entry.
#include <functional>
#include <string>

#include "platform/services.h"
#include "unzip/unzip.h"

namespace qv::unzip {

struct UnZipServices {
  const platform::Codec& codec;
  platform::FileStamps& stamps;
  MessageBoxHook messageBox;               // the unknown-method and out-of-memory boxes
  std::function<void()> processMessages;  // pumps the calling thread's messages during long loops
};

// True when the extraction ran to its end (whatever it extracted), false when it raised an error.
// Errors while opening the archive or reading its directory leave this function. `extracted`, when
// given, receives the number of entries extracted; `entries` the number the archive's directory holds.
bool UnZipFile(const std::string& archive, const std::string& destination, const UnZipServices& services,
               int* extracted = nullptr, int* entries = nullptr);

}  // namespace qv::unzip
