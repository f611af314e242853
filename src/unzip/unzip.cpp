#include "unzip/unzip.h"

#include "common/path.h"
#include "common/text.h"
#include "unzip/checked_offsets.h"
#include "unzip/file_system.h"
#include "unzip/zip_directory.h"
#include "unzip/zip_errors.h"

namespace qv::unzip {

namespace {

bool isSeparator(char c) { return c == '\\' || c == '/'; }

// The side file that may hold a copy of the directory: the archive name with ".zfc" as extension.
std::string sideFileName(const std::string& zipName) { return path::withExtension(zipName, ".zfc"); }

bool hasExeExtension(const std::string& zipName) {
  return zipName.size() >= 4 && text::equalsIgnoreAsciiCase(std::string_view(zipName).substr(zipName.size() - 4), ".exe");
}

// Where the scan for local headers begins in a self-extracting archive (an ".exe"): past the bytes of
// the extractor program in front of the archive, whose own bytes could be taken for a header.
constexpr int64_t kSelfExtractorSkip = 14000;

// A handler that keeps answering "assume multi-part" would otherwise make ReadDirectory loop forever.
constexpr int kMaxIncompleteRetries = 16;

}  // namespace

TUnZip::TUnZip(const platform::Codec& codec, platform::FileStamps& stamps, MessageBoxHook messageBox,
               std::function<void()> processMessages)
    : codec_(codec), stamps_(stamps), messageBox_(std::move(messageBox)), processMessages_(std::move(processMessages)) {}

TUnZip::~TUnZip() { closeArchive(); }

void TUnZip::setZipName(const std::string& name) {
  if (text::equalsIgnoreAsciiCase(name, zipName_)) {
    zipName_ = name;
    return;
  }
  closeArchive();
  clearDirectory();
  zipName_ = name;
}

void TUnZip::setDestDir(const std::string& dir) {
  destDir_ = dir;
  // One trailing separator goes, unless it is all that is left of a root ("/" or "C:\").
  if (destDir_.size() > 1 && isSeparator(destDir_.back()) && !(destDir_.size() == 3 && destDir_[1] == ':'))
    destDir_.pop_back();
}

void TUnZip::setRootDir(const std::string& dir) {
  rootDir_ = dir;
  if (dir.empty()) return;
  std::string prefix = dir;
  for (char& c : prefix)
    if (c == '/') c = '\\';
  if (prefix.back() != '\\') prefix += '\\';
  RelativePathList.assign(1, prefix);
}

const TZipHeaderInfo& TUnZip::Entry(int index) const {
  if (index < 0 || index >= Count()) {
    std::string text = msg::kIndexOutOfRange;
    text.replace(text.find("%d"), 2, std::to_string(index));
    throw EZipException(text);
  }
  return list_[static_cast<size_t>(index)];
}

void TUnZip::pump() {
  if (DoProcessMessages && processMessages_) processMessages_();
}

int TUnZip::showMessage(int id, const std::string& text, const std::string& caption, unsigned flags) {
  int result = (flags & 0x0F) == mb::kYesNo ? mb::kIdNo : (flags & 0x0F) == mb::kOkCancel ? mb::kIdCancel : mb::kIdOk;
  if (OnHandleMessage) {
    OnHandleMessage(*this, id, text, caption, flags, result);
    return result;
  }
  return messageBox_ ? messageBox_(text, caption, flags) : result;
}

void TUnZip::openArchive() {
  if (archive_) return;
  auto file = std::make_unique<TBufferedFileStream>(kStreamBufferSize);
  std::string reason;
  if (!file->open(zipName_, NativeFile::Mode::ReadDenyWrite, &reason)) {
    clearDirectory();
    const std::string name = zipName_;
    zipName_.clear();
    throw EFOpenError(name, reason);
  }
  archiveFile_ = std::move(file);
  archive_ = archiveFile_.get();
  if (dirValid_ && multiPart_ && !openParts()) archive_ = archiveFile_.get();
}

void TUnZip::closeArchive() {
  archive_ = nullptr;
  spannedBuffer_.reset();
  spanned_.reset();
  archiveFile_.reset();
}

void TUnZip::clearDirectory() {
  list_.clear();
  end_.clear();
  directoryRange_ = {};
  dirValid_ = false;
  multiPart_ = false;
}

std::string TUnZip::partName(uint32_t part, uint32_t total) {
  std::string name = splitPartName(zipName_, part, total, BlockMode);
  if (OnFileNameForSplitPart)
    OnFileNameForSplitPart(*this, name, static_cast<int>(part),
                           part == 1 ? TSplitType::spFirst : part == total ? TSplitType::spLast : TSplitType::spMiddle);
  return name;
}

bool TUnZip::openParts() {
  const uint32_t total = end_.thisDisk() + 1;
  std::vector<std::string> names;
  for (uint32_t part = 1; part <= total; ++part) names.push_back(partName(part, total));
  auto spanned = std::make_unique<SpannedStream>();
  std::string failed, reason;
  if (!spanned->open(names, &failed, &reason)) throw EFOpenError(failed, reason);
  spanned_ = std::move(spanned);
  spannedBuffer_ = std::make_unique<TBufferedStream>(*spanned_, kStreamBufferSize);
  archive_ = spannedBuffer_.get();
  return true;
}

int64_t TUnZip::partBase(uint32_t disk) const { return multiPart_ && spanned_ ? spanned_->partBase(disk) : 0; }

void TUnZip::ensureDirectory() {
  openArchive();
  const int64_t stamp = modificationStamp(zipName_);
  if (dirValid_ && stamp == dirStamp_) return;
  readDirectoryFromArchive();
  dirStamp_ = stamp;
  dirValid_ = true;
}

void TUnZip::readIncomplete() {
  TIncompleteZipMode mode = IncompleteZipMode;
  if (OnInCompleteZip) OnInCompleteZip(*this, mode);
  IncompleteZipMode = mode;
  switch (mode) {
    case TIncompleteZipMode::izAssumeMulti:
      throw EIncompleteZip();
    case TIncompleteZipMode::izAssumeNotAZip:
      throw ENotAZipFile();
    case TIncompleteZipMode::izAssumeBad:
      break;
  }
  DirectorySettings settings{codec_, OEMConvert, DoProcessMessages ? processMessages_ : std::function<void()>()};
  if (!recoveryScan(*archive_, hasExeExtension(zipName_) ? kSelfExtractorSkip : 0, list_, end_, settings)) {
    list_.clear();
    end_.clear();
    throw EBadZipFile();
  }
}

void TUnZip::readDirectoryFromArchive() {
  dirValid_ = false;
  multiPart_ = false;
  directoryRange_ = {};
  list_.clear();
  end_.clear();
  DirectorySettings settings{codec_, OEMConvert, DoProcessMessages ? processMessages_ : std::function<void()>()};
  Stream* directory = archive_;
  std::unique_ptr<TBufferedFileStream> side;
  bool found = locateEndRecord(*archive_, end_);
  if (!found) {
    const std::string sideName = sideFileName(zipName_);
    side = std::make_unique<TBufferedFileStream>(kStreamBufferSize);
    if (fileExists(sideName) && side->open(sideName, NativeFile::Mode::ReadDenyWrite) && locateEndRecord(*side, end_))
      found = true;
    else
      side.reset();
  }
  if (!found) {
    readIncomplete();
  } else {
    multiPart_ = end_.thisDisk() > 0;
    if (multiPart_) openParts();
    if (!side) directory = archive_;
    else directory = side.get();
    // An offset that no position of this archive can have makes the directory unreadable (-1).
    int64_t start = 0;
    if (!side && !offsetAdd(partBase(end_.cdDisk()), end_.cdOffset(), start)) start = -1;
    int64_t end = start;
    if (end_.totalEntries() > 0 && !readCentralRecords(*directory, start, end_.totalEntries(), list_, settings, &end)) {
      if (multiPart_ ||
          !recoveryScan(*archive_, hasExeExtension(zipName_) ? kSelfExtractorSkip : 0, list_, end_, settings)) {
        list_.clear();
        end_.clear();
        throw EBadZipFile();
      }
      end = start;  // the damaged directory says nothing about where the entries lie
    }
    if (!side) directoryRange_ = {start, end};
  }
  if (SortMode != TZipSortMode::ByNone) list_.sortBy(SortMode);
}

void TUnZip::readDirectoryOnOpenArchive() {
  for (int attempt = 0;; ++attempt) {
    try {
      ensureDirectory();
      return;
    } catch (const EIncompleteZip&) {
      if (!OnInCompleteZip || attempt >= kMaxIncompleteRetries) throw;
    }
  }
}

void TUnZip::openWithDirectory() {
  try {
    openArchive();
    readDirectoryOnOpenArchive();
  } catch (const EIncompleteZip&) {
    closeArchive();
    throw;
  } catch (...) {
    // Any other error leaves the instance without archive name, entry list and end record.
    closeArchive();
    clearDirectory();
    zipName_.clear();
    throw;
  }
}

void TUnZip::ReadDirectory() {
  try {
    openWithDirectory();
  } catch (const EIncompleteZip&) {
    return;  // absorbed here; ExtractFiles raises it
  }
  if (!KeepZipOpen) closeArchive();
}

}  // namespace qv::unzip
