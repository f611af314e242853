#pragma once
// The install command's routine: extract one archive into one directory with the settings the program
// always uses. The engine's public entry.
#include <functional>
#include <string>
#include <vector>

#include "platform/services.h"
#include "unzip/unzip.h"

namespace qv::unzip {

struct UnZipServices {
  const platform::Codec& codec;
  platform::FileStamps& stamps;
  MessageBoxHook messageBox;              // the unknown-method and out-of-memory boxes
  std::function<void()> processMessages;  // pumps the calling thread's messages during long loops
};

// A file's read-only, hidden and system attributes that the extraction held back.
struct HeldAttributes {
  std::string path;  // the output file
  uint32_t attributes;
};

// What a caller that reports to a person may want to know beyond the count.
struct UnZipReport {
  std::string failure;                    // why the extraction did not run to its end; empty when it did
  std::vector<std::string> notExtracted;  // "<entry>: <why>" for each entry skipped or failing its CRC
  // Set by the caller: files are left writable, and the attributes their entries carry are listed in
  // `held` instead, for a caller that moves the files elsewhere first (a read-only file could not be
  // deleted again on Windows if the move had to be undone).
  bool holdAttributes = false;
  std::vector<HeldAttributes> held;
};

// True when the extraction ran to its end (whatever it extracted), false when it raised an error.
// Errors while opening the archive or reading its directory leave this function. `extracted`, when
// given, receives the number of entries extracted, also when the extraction failed part way.
// `report`, when given, receives the failure's text and the entries that were not extracted.
bool UnZipFile(const std::string& archive, const std::string& destination, const UnZipServices& services,
               int* extracted = nullptr, UnZipReport* report = nullptr);

}  // namespace qv::unzip
