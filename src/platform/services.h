#pragma once
// Operating-system services other than windows: the single-instance guard, code pages, locale
// collation, the program's own path and file stamps.
#include <cstdint>
#include <string>
#include <string_view>

namespace qv::platform {

class SingleInstance {
 public:
  virtual ~SingleInstance() = default;
  // Creates the system-wide guard of that name and holds it until the process ends. False when
  // another process already holds it.
  virtual bool acquire(const std::string& name) = 0;
};

// Conversion between UTF-8 and the system's ANSI and OEM code pages (950 on the target machines).
class Codec {
 public:
  virtual ~Codec() = default;
  virtual unsigned ansiCodePage() const = 0;
  virtual unsigned oemCodePage() const = 0;
  // Characters the code page cannot hold become "?".
  virtual std::string utf8ToCodePage(unsigned codePage, std::string_view utf8) const = 0;
  // Bytes that do not decode become U+FFFD.
  virtual std::string codePageToUtf8(unsigned codePage, std::string_view bytes) const = 0;
  // True when utf8ToCodePage would give every character its own code: nothing turns into "?" or
  // into a look-alike the system substitutes for a character the code page lacks. Text that is not
  // valid UTF-8 is false.
  virtual bool convertsWithoutLoss(unsigned codePage, std::string_view utf8) const = 0;

  std::string toAnsi(std::string_view utf8) const { return utf8ToCodePage(ansiCodePage(), utf8); }
  std::string fromAnsi(std::string_view bytes) const { return codePageToUtf8(ansiCodePage(), bytes); }
  std::string fromOem(std::string_view bytes) const { return codePageToUtf8(oemCodePage(), bytes); }
  bool ansiHolds(std::string_view utf8) const { return convertsWithoutLoss(ansiCodePage(), utf8); }
};

// The platform's default string comparison for the user's locale (case-sensitive), as the add-on
// list orders its rows by caption.
class Collation {
 public:
  virtual ~Collation() = default;
  virtual int compare(std::string_view a, std::string_view b) const = 0;
  // A key whose byte-wise order (std::string comparison) is the order of compare(); lets a long list be
  // sorted with one conversion per row instead of two per comparison.
  virtual std::string sortKey(std::string_view s) const = 0;
  // True when compare() is plain byte order, so texts can serve as their own keys.
  virtual bool ordersByBytes() const { return false; }
};

// Windows file attributes as the zip format stores them in the low byte of the external attributes.
namespace attr {
constexpr uint32_t kReadOnly = 0x01;
constexpr uint32_t kHidden = 0x02;
constexpr uint32_t kSystem = 0x04;
constexpr uint32_t kDirectory = 0x10;
constexpr uint32_t kArchive = 0x20;
}  // namespace attr

class FileStamps {
 public:
  virtual ~FileStamps() = default;
  // Sets the last-write time from an MS-DOS date/time taken as local time. False on failure.
  virtual bool setDosDateTime(const std::string& path, uint32_t dosDateTime) = 0;
  // The last-write time as an MS-DOS date/time in local time; 0 when the file is absent.
  virtual uint32_t dosDateTime(const std::string& path) const = 0;
  virtual bool setAttributes(const std::string& path, uint32_t attributes) = 0;
  virtual uint32_t attributes(const std::string& path) const = 0;
};

}  // namespace qv::platform
