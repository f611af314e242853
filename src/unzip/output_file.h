#pragma once
// The file one entry is decoded into, and what becomes of it. A target that does not exist yet is
// created exclusively and written in place: there is nothing to lose, and on failure it is removed
// again. A target that exists is written to one of the engine's temporaries beside it and takes the
// target's name only once the entry's CRC has matched, so a failed entry never costs the file it
// would have replaced. Neither way ever writes through a link planted at the name.
#include <string>

#include "unzip/zip_streams.h"

namespace qv::unzip {

class OutputFile {
 public:
  explicit OutputFile(TBufferedFileStream& stream) : stream_(stream) {}
  ~OutputFile();  // removes whatever was not committed
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  enum class Created { kNew, kTaken, kFailed };
  // Creates `target` itself when nothing has its name (kNew); kTaken when something has.
  Created createNew(const std::string& target);
  // Opens a fresh temporary beside the existing `target`; false when none can be made.
  bool openBeside(const std::string& target);

  Stream& stream() { return stream_; }
  // False when the written data could not all be put out.
  bool close(bool flushToDisk);
  // Keeps the written file under the target's name; false when a temporary could not take it.
  bool commit();

 private:
  TBufferedFileStream& stream_;
  std::string target_;
  std::string written_;  // the file being written; empty once it is kept or gone
};

}  // namespace qv::unzip
