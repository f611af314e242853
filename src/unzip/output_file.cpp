#include "unzip/output_file.h"

#include "unzip/engine_temporary.h"
#include "unzip/file_system.h"

namespace qv::unzip {

OutputFile::~OutputFile() {
  if (written_.empty()) return;
  stream_.close();  // an open file cannot be removed on Windows
  removeFile(written_);
}

OutputFile::Created OutputFile::createNew(const std::string& target) {
  bool taken = false;
  if (!stream_.open(target, NativeFile::Mode::CreateNew, nullptr, &taken))
    return taken ? Created::kTaken : Created::kFailed;
  target_ = written_ = target;
  return Created::kNew;
}

bool OutputFile::openBeside(const std::string& target) {
  const std::string temporary = files::createSiblingTemp(target, kTemporaryTag);
  if (temporary.empty()) return false;
  target_ = target;
  written_ = temporary;
  return stream_.open(temporary, NativeFile::Mode::WriteCreated);
}

bool OutputFile::close(bool flushToDisk) {
  return stream_.close(flushToDisk);
}

bool OutputFile::commit() {
  if (written_ != target_ && !renameReplacing(written_, target_)) return false;
  written_.clear();
  return true;
}

}  // namespace qv::unzip
