#include "unzip/unzip_file.h"

namespace qv::unzip {

bool UnZipFile(const std::string& archive, const std::string& destination, const UnZipServices& services,
               int* extracted, int* entries) {
  TUnZip unzip(services.codec, services.stamps, services.messageBox, services.processMessages);
  unzip.setZipName(archive);
  unzip.ReadDirectory();  // outside the catch: a missing or unreadable archive is the caller's to report
  if (entries) *entries = unzip.Count();
  unzip.setDestDir(destination);
  unzip.RecreateDirs = true;
  unzip.FilesList.push_back("*.*");
  unzip.DoAll = true;
  unzip.OverwriteMode = TUZOverwriteMode::Always;
  if (extracted) *extracted = 0;
  try {
    const int count = unzip.ExtractFiles();
    if (extracted) *extracted = count;
  } catch (...) {
    return false;
  }
  return true;
}

}  // namespace qv::unzip
