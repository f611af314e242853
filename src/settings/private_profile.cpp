#include "settings/private_profile.h"

#include <optional>
#include <vector>

#include "common/file_system.h"
#include "common/text.h"

namespace qv::settings {

namespace {

// One physical line of the file, kept with its own line ending so untouched lines are written back
// exactly as they were.
struct Line {
  std::string body;
  std::string ending;
};

std::vector<Line> splitLines(const std::string& bytes) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    if (end == std::string::npos) {
      lines.push_back({bytes.substr(start), ""});
      break;
    }
    size_t bodyEnd = end;
    if (bodyEnd > start && bytes[bodyEnd - 1] == '\r') --bodyEnd;
    lines.push_back({bytes.substr(start, bodyEnd - start), bytes.substr(bodyEnd, end + 1 - bodyEnd)});
    start = end + 1;
  }
  return lines;
}

std::string trimSpaces(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return std::string(s.substr(b, e - b));
}

// The section name of a "[name]" line, or nothing for any other line.
std::optional<std::string> sectionOf(const std::string& body) {
  const std::string t = trimSpaces(body);
  if (t.size() < 2 || t.front() != '[') return std::nullopt;
  const size_t close = t.find(']');
  if (close == std::string::npos) return std::nullopt;
  return trimSpaces(std::string_view(t).substr(1, close - 1));
}

// The key of a "key=value" line and where its value starts.
std::optional<std::pair<std::string, size_t>> keyOf(const std::string& body) {
  const size_t eq = body.find('=');
  if (eq == std::string::npos) return std::nullopt;
  return std::make_pair(trimSpaces(std::string_view(body).substr(0, eq)), eq + 1);
}

std::optional<std::string> readBytes(const std::string& path) {
  std::string bytes;
  if (!files::isFile(path) || !files::readFile(path, bytes)) return std::nullopt;
  return bytes;
}

// Section and key names are matched without regard to the case of ASCII letters.
bool sameName(const std::string& a, const std::string& b) { return text::equalsIgnoreAsciiCase(a, b); }

}  // namespace

std::string PrivateProfile::readString(const std::string& section, const std::string& key,
                                       const std::string& def) const {
  const std::optional<std::string> bytes = readBytes(path_);
  if (!bytes) return def;
  const std::string sectionBytes = codec_.toAnsi(section);
  const std::string keyBytes = codec_.toAnsi(key);
  bool inSection = false;
  for (const Line& line : splitLines(*bytes)) {
    if (auto name = sectionOf(line.body)) {
      inSection = sameName(*name, sectionBytes);
      continue;
    }
    if (!inSection) continue;
    auto kv = keyOf(line.body);
    if (!kv || !sameName(kv->first, keyBytes)) continue;
    std::string value = trimSpaces(std::string_view(line.body).substr(kv->second));
    // A value enclosed in matching quotes is read without them.
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    std::u32string chars = text::utf8ToUtf32(codec_.fromAnsi(value));
    if (chars.size() > kMaxValueLength) chars.resize(kMaxValueLength);
    return text::utf32ToUtf8(chars);
  }
  return def;
}

bool parseProfileInteger(const std::string& textIn, int32_t& out) {
  std::string s = textIn;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) s = "$" + s.substr(2);
  size_t i = 0;
  while (i < s.size() && s[i] == ' ') ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  }
  if (i >= s.size()) return false;
  uint64_t value = 0;
  for (; i < s.size(); ++i) {
    const char c = s[i];
    int digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else
      return false;
    value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
    // Hexadecimal takes the full 32 bits (FFFFFFFF is -1); decimal must fit the signed range.
    if (value > (base == 16 ? 0xFFFFFFFFull : 0x80000000ull)) return false;
  }
  if (base == 10 && !negative && value > 0x7FFFFFFFull) return false;
  const uint32_t bits = static_cast<uint32_t>(value);
  out = negative ? static_cast<int32_t>(0u - bits) : static_cast<int32_t>(bits);
  return true;
}

int32_t PrivateProfile::readInteger(const std::string& section, const std::string& key, int32_t def) const {
  int32_t v = def;
  return parseProfileInteger(readString(section, key, ""), v) ? v : def;
}

bool PrivateProfile::readBool(const std::string& section, const std::string& key, bool def) const {
  return readInteger(section, key, def ? 1 : 0) != 0;
}

void PrivateProfile::writeString(const std::string& section, const std::string& key, const std::string& value) {
  const bool existed = files::exists(path_);
  // A directory, a read-only file or a file we cannot read back is refused before anything changes.
  if (existed && (!files::isFile(path_) || (stamps_.attributes(path_) & platform::attr::kReadOnly)))
    throw IniWriteError(path_);
  std::string bytes;
  if (existed) {
    std::optional<std::string> old = readBytes(path_);
    if (!old) throw IniWriteError(path_);
    bytes = std::move(*old);
  }

  const std::string sectionBytes = codec_.toAnsi(section);
  const std::string keyBytes = codec_.toAnsi(key);
  const std::string newLine = keyBytes + "=" + codec_.toAnsi(value);
  std::vector<Line> lines = splitLines(bytes);

  bool inSection = false;
  std::optional<size_t> sectionLast;  // last non-blank line of the matching section
  bool replaced = false;
  for (size_t i = 0; i < lines.size() && !replaced; ++i) {
    if (auto name = sectionOf(lines[i].body)) {
      if (inSection) break;
      inSection = sameName(*name, sectionBytes);
      if (inSection) sectionLast = i;
      continue;
    }
    if (!inSection) continue;
    if (!trimSpaces(lines[i].body).empty()) sectionLast = i;
    auto kv = keyOf(lines[i].body);
    if (kv && sameName(kv->first, keyBytes)) {
      lines[i].body = newLine;
      replaced = true;
    }
  }
  if (!replaced) {
    if (!lines.empty() && lines.back().ending.empty()) lines.back().ending = "\r\n";
    if (sectionLast) {
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(*sectionLast + 1), Line{newLine, "\r\n"});
    } else {
      lines.push_back({"[" + sectionBytes + "]", "\r\n"});
      lines.push_back({newLine, "\r\n"});
    }
  }

  std::string out;
  for (const Line& l : lines) out += l.body + l.ending;

  // The new content goes to a file beside the old one and replaces it whole, so an interrupted write
  // never leaves half a settings file.
  if (!files::writeFileReplacing(path_, out)) throw IniWriteError(path_);
}

void PrivateProfile::writeInteger(const std::string& section, const std::string& key, int32_t value) {
  writeString(section, key, std::to_string(value));
}

void PrivateProfile::writeBool(const std::string& section, const std::string& key, bool value) {
  writeString(section, key, value ? "1" : "0");
}

}  // namespace qv::settings
