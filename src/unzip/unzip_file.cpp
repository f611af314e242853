#include "unzip/unzip_file.h"

namespace qv::unzip {

namespace {

const char* skipReasonText(TSkipReason reason) {
  switch (reason) {
    case TSkipReason::srBadPassword:
      return "encrypted, and the password does not fit";
    case TSkipReason::srNoOverwrite:
      return "an existing file was kept";
    case TSkipReason::srCreateError:
      return "the file cannot be created";
    default:
      return "skipped";
  }
}

// Records what was not extracted; only a caller that asked for a report gets these handlers, so the
// installer's run is the plain one.
void reportInto(TUnZip& unzip, UnZipReport& report) {
  unzip.OnSkippingFile = [&report](TUnZip& self, TSkipReason reason, const std::string& name, int, bool&) {
    const std::string& detail = self.SkipDetail();
    report.notExtracted.push_back(name + ": " +
                                  (detail.empty() ? std::string(skipReasonText(reason)) : detail));
  };
  unzip.OnBadCRC = [&report](TUnZip& self, uint32_t, uint32_t, int index) {
    const TZipHeaderInfo& e = self.Entry(index);
    report.notExtracted.push_back(e.directory + e.filename +
                                  ": its data do not decode to what the archive says");
  };
  if (!report.holdAttributes) return;
  unzip.RetainAttributes = false;
  unzip.OnEndUnZip = [&report](TUnZip& self, int index, const std::string& name) {
    // The bits the engine would have set on a file it has just created.
    constexpr uint32_t kMeaningful = platform::attr::kReadOnly | platform::attr::kHidden | platform::attr::kSystem;
    const uint32_t attributes = self.Entry(index).external_file_attributes;
    if (attributes & kMeaningful) report.held.push_back({name, attributes});
  };
}

}  // namespace

bool UnZipFile(const std::string& archive, const std::string& destination, const UnZipServices& services,
               int* extracted, UnZipReport* report) {
  TUnZip unzip(services.codec, services.stamps, services.messageBox, services.processMessages);
  unzip.setZipName(archive);
  unzip.ReadDirectory();  // outside the catch: a missing or unreadable archive is the caller's to report
  unzip.setDestDir(destination);
  unzip.RecreateDirs = true;
  unzip.FilesList.push_back("*.*");
  unzip.DoAll = true;
  unzip.OverwriteMode = TUZOverwriteMode::Always;
  if (report) reportInto(unzip, *report);
  if (extracted) *extracted = 0;
  try {
    const int count = unzip.ExtractFiles();
    if (extracted) *extracted = count;
  } catch (const std::exception& e) {
    if (extracted) *extracted = unzip.ExtractedCount();
    if (report) report->failure = e.what();
    return false;
  } catch (...) {
    if (extracted) *extracted = unzip.ExtractedCount();
    if (report) report->failure = "unknown error";
    return false;
  }
  return true;
}

}  // namespace qv::unzip
