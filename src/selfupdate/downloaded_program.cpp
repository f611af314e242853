#include "selfupdate/downloaded_program.h"

#include "common/file_system.h"

namespace qv::selfupdate {

DownloadedProgram checkDownloadedProgram(const std::string& path, const std::optional<SignedRelease>& awaited,
                                         const platform::Crypto& crypto) {
  DownloadedProgram result;
  if (!awaited) return result;
  result.verdict = DownloadVerdict::NotAsSigned;
  result.release = *awaited;
  // The size first: a file of another size is not read at all, however large it is.
  if (files::fileSize(path) != static_cast<int64_t>(awaited->size)) return result;
  std::string bytes;
  if (!files::readFile(path, bytes) || bytes.size() != awaited->size) return result;
  if (crypto.sha256(bytes) != awaited->sha256) return result;
  result.image = checkProgramImage(bytes);
  if (result.image != ImageVerdict::Ok) {
    result.verdict = DownloadVerdict::NotAProgram;
    return result;
  }
  result.verdict = DownloadVerdict::Ok;
  result.bytes = std::move(bytes);
  return result;
}

}  // namespace qv::selfupdate
