#include "unzip/entry_names.h"

#include <zlib.h>

#include <algorithm>

#include "common/path.h"
#include "common/text.h"
#include "unzip/engine_temporary.h"

namespace qv::unzip {

namespace {

constexpr unsigned kUtf8CodePage = 65001;

bool isAscii(std::string_view s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// The length of the well-formed UTF-8 sequence at the start of `s`, or 0 when it is not one: overlong
// forms (which could spell "/", "." or "\" in disguise), surrogates and values above U+10FFFF included.
size_t wellFormedLength(std::string_view s) {
  const unsigned char c = static_cast<unsigned char>(s[0]);
  size_t extra;
  char32_t cp;
  if (c < 0x80) return 1;
  if ((c & 0xE0) == 0xC0) {
    extra = 1;
    cp = c & 0x1F;
  } else if ((c & 0xF0) == 0xE0) {
    extra = 2;
    cp = c & 0x0F;
  } else if ((c & 0xF8) == 0xF0) {
    extra = 3;
    cp = c & 0x07;
  } else {
    return 0;
  }
  if (extra >= s.size()) return 0;
  for (size_t k = 1; k <= extra; ++k) {
    const unsigned char d = static_cast<unsigned char>(s[k]);
    if ((d & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (d & 0x3F);
  }
  const char32_t minimum = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return extra + 1;
}

// Every byte that does not start a well-formed sequence becomes U+FFFD, so every later step sees
// well-formed UTF-8 and no invalid form turns into a separator or a dot.
std::string sanitizedUtf8(std::string_view s) {
  if (isValidUtf8(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (size_t i = 0; i < s.size();) {
    const size_t n = wellFormedLength(s.substr(i));
    if (n == 0) {
      out += kReplacement;
      ++i;
    } else {
      out.append(s.substr(i, n));
      i += n;
    }
  }
  return out;
}

std::string decodeFrom(unsigned codePage, std::string_view stored, const platform::Codec& codec) {
  if (isAscii(stored)) return std::string(stored);  // every code page the engine meets agrees on ASCII
  if (codePage == kUtf8CodePage) return sanitizedUtf8(stored);
  return codec.codePageToUtf8(codePage, stored);
}

// A part the file system would read as "." or ".." (Windows drops trailing dots and spaces).
bool onlyDotsAndSpaces(std::string_view part) {
  return !part.empty() && part.find_first_not_of(". ") == std::string_view::npos;
}

// Why one part of an entry's name (a folder or the file name) is never written; nullptr when it may be.
const char* partRefusal(std::string_view part) {
  if (onlyDotsAndSpaces(part)) return "its name climbs out of the destination folder";
  if (part.find('\0') != std::string_view::npos) return "its name holds a NUL character";
  if (part.find(':') != std::string_view::npos) return "its name holds a drive or stream colon";
  if (part.back() == '.' || part.back() == ' ')
    return "a part of its name ends in a dot or a blank, which Windows would drop";
  if (isDeviceName(part)) return "its name is a Windows device name";
  return nullptr;
}

bool refuse(const char* reason, std::string* why) {
  if (why) *why = reason;
  return false;
}

constexpr uint16_t kUnicodePathTag = 0x7075;
constexpr unsigned kUnixHost = 3;
constexpr unsigned kMacOsHost = 19;

}  // namespace

bool isValidUtf8(std::string_view s) {
  for (size_t i = 0; i < s.size();) {
    const size_t n = wellFormedLength(s.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

bool isDeviceName(std::string_view part) {
  // Windows reads only the part before the first dot, without its trailing blanks and dots.
  std::string_view base = part.substr(0, part.find('.'));
  while (!base.empty() && (base.back() == ' ' || base.back() == '.')) base.remove_suffix(1);
  const std::string lower = text::asciiLower(base);
  for (std::string_view device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
    if (lower == device) return true;
  if (lower.starts_with("com") || lower.starts_with("lpt")) {
    const std::string_view number = std::string_view(lower).substr(3);
    if (number.size() == 1 && number[0] >= '1' && number[0] <= '9') return true;
    // Windows counts the superscript digits one to three as port numbers too.
    if (number == "\xC2\xB9" || number == "\xC2\xB2" || number == "\xC2\xB3") return true;
  }
  return false;
}

std::optional<std::string> unicodePathField(const uint8_t* extra, size_t size, std::string_view storedName) {
  // Blocks of tag (2), data size (2) and data; version (1), CRC-32 of the header's name (4), UTF-8 name.
  for (size_t at = 0; at + 4 <= size;) {
    const uint16_t tag = static_cast<uint16_t>(extra[at] | extra[at + 1] << 8);
    const size_t length = static_cast<size_t>(extra[at + 2] | extra[at + 3] << 8);
    const uint8_t* data = extra + at + 4;
    if (length > size - at - 4) return std::nullopt;  // a block running past the field is no block
    if (tag == kUnicodePathTag) {
      if (length < 5 || data[0] != 1) return std::nullopt;
      const uint32_t crc = static_cast<uint32_t>(data[1]) | static_cast<uint32_t>(data[2]) << 8 |
                           static_cast<uint32_t>(data[3]) << 16 | static_cast<uint32_t>(data[4]) << 24;
      const uLong actual = ::crc32(::crc32(0L, Z_NULL, 0), reinterpret_cast<const Bytef*>(storedName.data()),
                                   static_cast<uInt>(storedName.size()));
      if (crc != actual) return std::nullopt;
      return std::string(reinterpret_cast<const char*>(data + 5), length - 5);
    }
    at += 4 + length;
  }
  return std::nullopt;
}

std::string decodeEntryName(std::string_view stored, uint16_t flags, uint16_t versionMadeBy, TOEMConvert oem,
                            const platform::Codec& codec, std::optional<std::string_view> unicodePath) {
  const unsigned host = versionMadeBy >> 8;
  const bool msdosHost = host == 0;
  const bool looksUtf8 = isValidUtf8(stored) && !isAscii(stored);
  const bool fromOem =
      msdosHost && (oem == TOEMConvert::oemAlways || (oem == TOEMConvert::oemFlexible && !looksUtf8));
  std::string name;
  if (flags & kUtf8NameFlag)
    name = sanitizedUtf8(stored);
  else if (unicodePath && !unicodePath->empty())
    name = sanitizedUtf8(*unicodePath);
  else if (looksUtf8 && (host == kUnixHost || host == kMacOsHost))
    name = sanitizedUtf8(stored);
  else if (msdosHost && oem == TOEMConvert::oemFlexible && looksUtf8)
    name = sanitizedUtf8(stored);
  else
    name = decodeFrom(fromOem ? codec.oemCodePage() : codec.ansiCodePage(), stored, codec);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

void splitEntryName(const std::string& name, std::string& directory, std::string& fileName) {
  const size_t cut = name.find_last_of("\\:");
  if (cut == std::string::npos) {
    directory.clear();
    fileName = name;
  } else {
    directory = name.substr(0, cut + 1);
    fileName = name.substr(cut + 1);
  }
}

bool isSafeFileName(std::string_view fileName, std::string* why) {
  if (fileName.empty()) return refuse("it has no name", why);
  if (fileName.find_first_of("\\/") != std::string_view::npos)
    return refuse("its name holds a separator", why);
  if (const char* reason = partRefusal(fileName)) return refuse(reason, why);
  if (isEngineTemporary(fileName)) return refuse("its name is one the engine keeps for its temporaries", why);
  return true;
}

std::string joinPath(const std::string& directory, std::string_view name) {
  if (directory.empty()) return std::string(name);
  std::string out = directory;
  if (out.back() != path::kSep) out += path::kSep;
  out += name;
  return out;
}

std::optional<std::string> outputDirectory(const std::string& destDir, const std::string& entryDirectory,
                                           bool recreateDirs, const std::vector<std::string>& relativePaths,
                                           std::string* why) {
  if (!recreateDirs || entryDirectory.empty()) return destDir;
  std::string_view p = entryDirectory;
  for (const std::string& prefix : relativePaths) {
    if (!prefix.empty() && p.size() >= prefix.size() && text::equalsIgnoreAsciiCase(p.substr(0, prefix.size()), prefix)) {
      p.remove_prefix(prefix.size());
      break;
    }
  }
  // A rooted name ("\abs\") or one with a drive ("C:\x\") lands below the destination, never at the
  // root it names.
  if (p.size() >= 2 && p[1] == ':') p.remove_prefix(2);
  std::string out = destDir;
  size_t start = 0;
  while (start < p.size()) {
    size_t end = p.find('\\', start);
    if (end == std::string_view::npos) end = p.size();
    const std::string_view part = p.substr(start, end - start);
    start = end + 1;
    if (part.empty() || part == ".") continue;
    if (const char* reason = partRefusal(part)) {
      refuse(reason, why);
      return std::nullopt;
    }
    out = joinPath(out, part);
  }
  return out;
}

bool matchesPattern(std::string_view name, std::string_view pattern) {
  if (pattern == "*.*") return true;
  // Iterative wildcard match with one backtrack point: linear in practice, no recursion.
  size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == '?' || pattern[p] == name[n])) {
      ++n;
      ++p;
    } else if (p < pattern.size() && pattern[p] == '*') {
      starP = p++;
      starN = n;
    } else if (starP != std::string_view::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

}  // namespace qv::unzip
