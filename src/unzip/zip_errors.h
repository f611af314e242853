#pragma once
// The engine's exception kinds and the texts it shows. Errors that end an operation are exceptions;
// entries that are merely skipped are reported through events and counts, never through these.
#include <string>

#include "common/error.h"

namespace qv::unzip {

namespace msg {
inline constexpr const char* kIndexOutOfRange = "Index %d is out of range";
inline constexpr const char* kIncompleteZip = "Incomplete Zip File";
inline constexpr const char* kNotAZip = "Not a valid zip file!";
inline constexpr const char* kInflateOutOfMemory = "*** inflate out of memory ***";
inline constexpr const char* kErrorCaption = "Error";
inline constexpr const char* kPrematureEnd = "Premature end of file reached";
inline constexpr const char* kReplaceExisting = "Replace existing file ";
inline constexpr const char* kFileExistsAlert = "File Exists Alert";
inline constexpr const char* kUnknownMethod = "Unknown Compression Method";
inline constexpr const char* kZipErrorCaption = "Zip Error";
inline constexpr const char* kBiggerThanUncompressed = "File is larger than uncompressed size!";
inline constexpr const char* kCantWrite = "Cant write uncompressed file";
inline constexpr const char* kZlibError = "error";
}  // namespace msg

// The runtime's error for a file that cannot be opened: "Cannot open file "<path>". <reason>".
class EFOpenError : public Error {
 public:
  EFOpenError(const std::string& path, const std::string& reason)
      : Error("Cannot open file \"" + path + "\". " + reason) {}
};

class EZipException : public Error {
 public:
  using Error::Error;
};
class EBadZipFile : public EZipException {
 public:
  EBadZipFile() : EZipException(msg::kNotAZip) {}
  // The same error naming what is wrong with the archive.
  explicit EBadZipFile(const std::string& reason) : EZipException(std::string(msg::kNotAZip) + " " + reason) {}
};
class EIncompleteZip : public EZipException {
 public:
  EIncompleteZip() : EZipException(msg::kIncompleteZip) {}
};
class ENotAZipFile : public EZipException {
 public:
  ENotAZipFile() : EZipException(msg::kNotAZip) {}
};
// The destination directory cannot be made (a file has its name, no permission): nothing can be
// extracted, and saying so beats skipping every entry in silence.
class EDestinationError : public EZipException {
 public:
  explicit EDestinationError(const std::string& directory)
      : EZipException("Cannot create directory \"" + directory + "\"") {}
};
class EFatalUnzipError : public EZipException {
 public:
  using EZipException::EZipException;
};
class EBiggerThanUncompressed : public EZipException {
 public:
  EBiggerThanUncompressed() : EZipException(msg::kBiggerThanUncompressed) {}
};
class ECantWriteUCF : public EZipException {
 public:
  ECantWriteUCF() : EZipException(msg::kCantWrite) {}
};

class EZLibError : public Error {
 public:
  using Error::Error;
};
class EZCompressionError : public EZLibError {
 public:
  EZCompressionError() : EZLibError(msg::kZlibError) {}
};

// Entry data that cannot be decoded although the archive itself is readable (a deflate stream that
// asks for more than the entry's compressed size holds). Ends that entry only; never leaves the run.
class EEntryDataError : public EZipException {
 public:
  using EZipException::EZipException;
};

}  // namespace qv::unzip
