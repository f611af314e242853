#pragma once
// TUnZip: the unzip component. One instance per archive: set ZipName, read its directory, set the
// destination and what to extract, ExtractFiles. Services come in through the constructor; the
// component keeps no global state.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/services.h"
#include "unzip/archive_layout.h"
#include "unzip/spanned_stream.h"
#include "unzip/zip_objects.h"
#include "unzip/zip_streams.h"

namespace qv::unzip {

class EntryInput;
class EntryOutput;
class OutputFile;

enum class TUZOverwriteMode { Prompt, Always, Never, ifNewer, ifOlder };
enum class TIncompleteZipMode { izAssumeMulti, izAssumeBad, izAssumeNotAZip };
enum class TSkipReason {
  srBadPassword, srNoOverwrite, srFileOpenError, srCreateError, srExcludeList, srArchiveBitNotSet,
  srNoFileToFreshen, srSkippedInStartZip
};
enum class TSplitType { spFirst, spMiddle, spLast };

// Message box flags and answers, with the values of the Windows message box they stand for.
namespace mb {
constexpr unsigned kOk = 0x0, kOkCancel = 0x1, kYesNo = 0x4, kIconError = 0x10, kIconQuestion = 0x20;
constexpr int kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7;
}  // namespace mb

// Shows a message box (text, caption, flags) and returns the button pressed.
using MessageBoxHook = std::function<int(const std::string& text, const std::string& caption, unsigned flags)>;

class TUnZip {
 public:
  TUnZip(const platform::Codec& codec, platform::FileStamps& stamps, MessageBoxHook messageBox = {},
         std::function<void()> processMessages = {});
  ~TUnZip();
  TUnZip(const TUnZip&) = delete;
  TUnZip& operator=(const TUnZip&) = delete;

  static constexpr int kThisVersion = 170;
  static constexpr int kThisBuild = 1;

  // Properties with an effect when set.
  const std::string& ZipName() const { return zipName_; }
  void setZipName(const std::string& name);
  const std::string& DestDir() const { return destDir_; }
  void setDestDir(const std::string& dir);
  const std::string& RootDir() const { return rootDir_; }
  void setRootDir(const std::string& dir);
  int ThisVersion() const { return kThisVersion; }
  int ThisBuild() const { return kThisBuild; }
  void setPassword(const std::string& password) { password_ = password; }

  // Plain settings.
  std::vector<std::string> RelativePathList;
  TZipSortMode SortMode = TZipSortMode::ByNone;
  bool RecreateDirs = false;
  TUZOverwriteMode OverwriteMode = TUZOverwriteMode::Prompt;
  std::vector<std::string> FilesList;
  bool DoAll = false;
  TIncompleteZipMode IncompleteZipMode = TIncompleteZipMode::izAssumeMulti;
  bool KeepZipOpen = false;
  bool DoProcessMessages = true;
  bool RetainAttributes = true;
  bool ReplaceReadOnly = false;
  bool FlushFilesOnClose = false;
  TBlockMode BlockMode = TBlockMode::bmStandard;
  TOEMConvert OEMConvert = TOEMConvert::oemAlways;

  // Events; the sender comes first.
  std::function<void(TUnZip&, int NumFiles, int64_t TotalBytes, bool& StopNow)> OnStartUnZipInfo;
  std::function<void(TUnZip&, int FileIndex, std::string& FName, bool& Skip)> OnStartUnZip;
  std::function<void(TUnZip&, int FileIndex, const std::string& FName)> OnEndUnZip;
  std::function<void(TUnZip&, bool& OverWriteIt, int FileIndex, std::string& FName)> OnPromptForOverwrite;
  std::function<void(TUnZip&, TSkipReason Reason, const std::string& FName, int FileIndex, bool& Retry)> OnSkippingFile;
  std::function<void(TUnZip&, int FileIndex, std::string& NewPassword)> OnBadPassword;
  std::function<void(TUnZip&, uint32_t CalcCRC, uint32_t StoredCRC, int FileIndex)> OnBadCRC;
  std::function<void(TUnZip&, TIncompleteZipMode& IncompleteMode)> OnInCompleteZip;
  std::function<void(TUnZip&, int FileCount)> OnUnZipComplete;
  std::function<void(TUnZip&, int Percent)> OnFilePercentDone;
  std::function<void(TUnZip&, int Percent)> OnTotalPercentDone;
  std::function<void(TUnZip&, std::string& FName, int PartNum, TSplitType SplitType)> OnFileNameForSplitPart;
  std::function<void(TUnZip&, int MessageID, const std::string& Msg1, const std::string& Msg2, unsigned flags,
                     int& Return)>
      OnHandleMessage;

  // Reads the archive's directory unless the one read before is still valid. A missing end record is
  // absorbed here (ExtractFiles raises it); every other error leaves, with the instance cleared.
  void ReadDirectory();
  // Extracts the selected entries; returns the number extracted (files with a good CRC plus directory
  // entries handled). Before anything is written the archive's layout is checked: an archive whose
  // entries overlap one another or the central directory, lack their local header or run past its
  // end raises EBadZipFile naming the reason. A destination that cannot be made raises
  // EDestinationError.
  int ExtractFiles();
  // How many entries the last ExtractFiles run extracted, also when it ended with an error.
  int ExtractedCount() const { return extracted_; }

  // While OnSkippingFile runs: why the entry is skipped, in words, when the engine can say more than
  // the reason does (a refused name, a link on the entry's way); empty otherwise.
  const std::string& SkipDetail() const { return skipDetail_; }

  int Count() const { return static_cast<int>(list_.size()); }
  const TZipHeaderInfo& Entry(int index) const;
  const TEndCentral& EndCentral() const { return end_; }
  bool directoryValid() const { return dirValid_; }

 private:
  struct Run;
  struct EntrySource;
  struct Decoded;
  enum class Outcome { Extracted, NotExtracted, Retry };

  void pump();
  int showMessage(int id, const std::string& text, const std::string& caption, unsigned flags);
  void openArchive();
  void closeArchive();
  void clearDirectory();
  void ensureDirectory();
  // Reads the directory on the open archive unless the one held is still valid; a missing end record
  // is asked about again while an OnInCompleteZip handler is assigned, then raised.
  void readDirectoryOnOpenArchive();
  // Opens the archive and reads its directory there; on an error other than a missing end record the
  // instance is cleared. The archive stays open unless an error left.
  void openWithDirectory();
  void readDirectoryFromArchive();
  void readIncomplete();
  bool openParts();
  std::string partName(uint32_t part, uint32_t total);
  int64_t partBase(uint32_t disk) const;
  void runExtraction(Run& run);
  // One entry, in four steps: where its data lie (and whether the password fits), the output file
  // under the overwrite rules, decoding, and committing the result.
  Outcome handleEntry(Run& run, int index);
  std::optional<Outcome> openSource(Run& run, int index, const std::string& target, EntrySource& source);
  std::optional<Outcome> openOutput(Run& run, int index, std::string& target, OutputFile& output);
  Decoded decodeEntry(Run& run, int index, EntrySource& source, OutputFile& output);
  Outcome commitEntry(Run& run, int index, const std::string& target, OutputFile& output, const Decoded& decoded);
  Outcome skip(Run& run, TSkipReason reason, const std::string& name, int index, std::string why = {});
  void decode(const TZipHeaderInfo& e, EntryInput& in, EntryOutput& out, Run& run, uint64_t compressed,
              uint64_t declared, bool& decoded);

  const platform::Codec& codec_;
  platform::FileStamps& stamps_;
  MessageBoxHook messageBox_;
  std::function<void()> processMessages_;

  std::string zipName_, destDir_, rootDir_, password_;
  TSortedZip list_;
  TEndCentral end_;
  bool dirValid_ = false;
  int64_t dirStamp_ = 0;
  bool multiPart_ = false;
  std::unique_ptr<TBufferedFileStream> archiveFile_;
  std::unique_ptr<SpannedStream> spanned_;
  std::unique_ptr<TBufferedStream> spannedBuffer_;
  Stream* archive_ = nullptr;  // the stream entries are read from
  ByteRange directoryRange_;   // where the central records were read in archive_ (empty if elsewhere)
  int extracted_ = 0;
  std::string skipDetail_;
};

}  // namespace qv::unzip
