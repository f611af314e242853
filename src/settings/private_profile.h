#pragma once
// A file in the private-profile ("INI") format, read and written line-compatibly with the Windows
// functions of that name: case-insensitive sections and keys, a write replaces the value in place or
// appends it (and its section) and keeps every other line byte for byte. The file's bytes are in the
// system's ANSI code page. Every operation opens the file, does its one read or write and closes it.
#include <string>

#include "common/error.h"
#include "platform/services.h"

namespace qv::settings {

class IniWriteError : public qv::Error {
 public:
  explicit IniWriteError(const std::string& path) : qv::Error("Unable to write to " + path) {}
};

class PrivateProfile {
 public:
  // Longest value a read returns, in characters.
  static constexpr size_t kMaxValueLength = 2047;

  PrivateProfile(std::string path, const platform::Codec& codec, const platform::FileStamps& stamps)
      : path_(std::move(path)), codec_(codec), stamps_(stamps) {}

  const std::string& path() const { return path_; }

  // Reads never fail: a missing file, section or key gives the default.
  std::string readString(const std::string& section, const std::string& key, const std::string& def) const;
  // Decimal; "0x"/"0X" (more than two characters) or "$" mark hexadecimal; anything else gives `def`.
  int32_t readInteger(const std::string& section, const std::string& key, int32_t def) const;
  bool readBool(const std::string& section, const std::string& key, bool def) const;

  // Throws IniWriteError when the file cannot be written.
  void writeString(const std::string& section, const std::string& key, const std::string& value);
  void writeInteger(const std::string& section, const std::string& key, int32_t value);
  void writeBool(const std::string& section, const std::string& key, bool value);

 private:
  std::string path_;
  const platform::Codec& codec_;
  const platform::FileStamps& stamps_;
};

// The integer reading rule on its own, for the value text of a key.
bool parseProfileInteger(const std::string& text, int32_t& out);

}  // namespace qv::settings
