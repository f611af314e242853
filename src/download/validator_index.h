#pragma once
// The index beside the archives: what the server said about each archive the last time it sent it
// (its validators), and about a partial body kept to be resumed. It lives in one small text file in
// the archive folder, named so that nothing takes it for an archive, and survives restarts. A missing
// or damaged index is an empty one: it costs each archive one whole transfer, never a wrong file.
//
// An entry for a file holds only while the file is the one the entry was written for: same size, same
// modification stamp. A player who replaces an archive by hand gets it fetched whole again.
//
// Not thread-safe: its owner (RevalidatingDownloader) holds a lock around every use.
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "download/http_validators.h"

namespace qv::download {

// The index's file name inside the folder it describes.
inline constexpr char kValidatorIndexName[] = ".qv-validators";

struct KnownFile {
  uint64_t size = 0;
  int64_t stamp = 0;  // files::modificationStamp
  Validators validators;
  bool operator==(const KnownFile&) const = default;
};

struct KeptPartial {
  Validators validators;  // those of the answer the partial body came from
  uint64_t complete = 0;  // that answer's whole length; 0 when the server did not say
  bool operator==(const KeptPartial&) const = default;
};

class ValidatorIndex {
 public:
  // Reads the index of `directory` (given with its trailing separator).
  explicit ValidatorIndex(std::string directory);

  // Entries are keyed by the archive's file name as the file system tells names apart.
  std::optional<KnownFile> file(const std::string& fileName) const;
  std::optional<KeptPartial> partial(const std::string& fileName) const;
  // Nothing removes the entry. Names or values that cannot be written into the index are not kept.
  void setFile(const std::string& fileName, std::optional<KnownFile> known);
  void setPartial(const std::string& fileName, std::optional<KeptPartial> kept);

  // Writes the index whole (a temporary renamed over the old one) when something changed; false when
  // it could not be written (the next start then fetches more than it needed to, nothing worse).
  bool save();

 private:
  struct Entry {
    std::optional<KnownFile> file;
    std::optional<KeptPartial> partial;
  };
  void load();
  // Sets one kind of an entry's record, marking the index changed only when it is.
  template <typename Record>
  void put(const std::string& fileName, std::optional<Record> record, std::optional<Record> Entry::*slot);

  std::string path_;
  std::map<std::string, Entry> entries_;
  bool dirty_ = false;
};

}  // namespace qv::download
