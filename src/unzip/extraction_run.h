#pragma once
// What one ExtractFiles run holds: the work buffers, the output stream, where every entry lies, the
// counters, and the output directories met so far.
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "unzip/archive_layout.h"
#include "unzip/entry_decoders.h"
#include "unzip/unzip.h"
#include "unzip/write_behind.h"
#include "unzip/zip_crypto.h"

namespace qv::unzip {

struct TUnZip::Run {
  WorkBuffers work;
  std::optional<WriteBehind> behind;  // started with the first large entry
  TBufferedFileStream output{kStreamBufferSize};
  std::vector<EntryPlace> places;  // in the list's view order
  int toDo = 0;
  uint64_t totalBytes = 0;
  uint64_t doneBytes = 0;
  // Output directories known to exist in this run: thousands of entries share a few dozen folders,
  // and asking the file system again for each would cost a call per entry.
  std::unordered_set<std::string> knownDirectories;
  // The destination directory: what lies below it is the archive's to make, and nothing is made or
  // written through a link there. The destination itself may be one (a game moved to another drive).
  std::string root;

  enum class Made { kYes, kThroughLink, kFailed };
  // Makes sure `dir` exists, asking the file system only the first time the run meets it. A directory
  // that was there before is cleared of the temporaries a killed run may have left in it. Below the
  // destination every folder on the way is looked at as it is met: when one is a link, nothing is
  // made and `link` receives its path.
  Made ensureDirectory(const std::string& dir, std::string* link = nullptr);
};

// Where an entry's compressed data start, how many there are, and the decrypter they pass through.
struct TUnZip::EntrySource {
  int64_t data = 0;
  uint64_t compressed = 0;
  std::optional<ZipDecrypter> decrypter;
};

struct TUnZip::Decoded {
  bool complete = false;  // the decoder ran to its end (a short or undecodable stream did not)
  uint32_t crc = 0;
  uint64_t written = 0;
};

}  // namespace qv::unzip
