#include "install/install_journal.h"

#include <zlib.h>

#include <algorithm>
#include <charconv>
#include <cstdio>

#include "common/path.h"
#include "install/staging_layout.h"

namespace qv::install {

namespace {

constexpr std::string_view kHeader = "Quorvane install journal 1\n";

bool isSeparator(char c) {
  return c == '/' || (QV_WINDOWS_PATHS && c == '\\');
}

bool isSafeComponent(std::string_view c) {
  if (c.empty() || c == "." || c == "..") return false;
  for (const char ch : c) {
    if (ch == '\0') return false;
    // Windows reads these as a drive, a stream, a wildcard or a separator, and has no such names.
    if (QV_WINDOWS_PATHS && (static_cast<unsigned char>(ch) < 0x20 ||
                             std::string_view(":*?\"<>|\\/").find(ch) != std::string_view::npos))
      return false;
  }
  return true;
}

bool needsEscape(unsigned char u) {
  return u < 0x21 || u == 0x7F || u == '%' || u == '\\';
}

std::string encodePath(std::string_view relative) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (const char ch : relative) {
    const auto u = static_cast<unsigned char>(ch);
    if (ch == path::kSep) {
      out += '/';
    } else if (needsEscape(u)) {
      out += '%';
      out += hex[u >> 4];
      out += hex[u & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::optional<std::string> decodePath(std::string_view encoded) {
  std::string out;
  for (size_t i = 0; i < encoded.size(); ++i) {
    const char ch = encoded[i];
    if (ch == '/') {
      out += path::kSep;
    } else if (ch == '%') {
      if (i + 2 >= encoded.size()) return std::nullopt;
      const int hi = hexValue(encoded[i + 1]), lo = hexValue(encoded[i + 2]);
      if (hi < 0 || lo < 0) return std::nullopt;
      const char byte = static_cast<char>(hi * 16 + lo);
      // A separator spelled as an escape would hide a component boundary from the check.
      if (byte == '/' || byte == path::kSep) return std::nullopt;
      out += byte;
      i += 2;
    } else if (needsEscape(static_cast<unsigned char>(ch))) {
      return std::nullopt;
    } else {
      out += ch;
    }
  }
  if (!isSafeRelative(out)) return std::nullopt;
  return out;
}

std::string hex8(uint32_t v) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%08x", v);
  return digits;
}

std::optional<uint32_t> parseHex8(std::string_view s) {
  if (s.size() != 8) return std::nullopt;
  uint32_t v = 0;
  for (const char c : s) {
    const int d = hexValue(c);
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<uint32_t>(d);
  }
  return v;
}

std::optional<size_t> parseCount(std::string_view s) {
  size_t v = 0;
  if (s.empty() || s.size() > 12) return std::nullopt;
  const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return v;
}

uint32_t crcOf(std::string_view bytes) {
  uLong crc = crc32(0, nullptr, 0);
  // zlib takes lengths as uInt; a plan is far below that, but be exact anyway.
  size_t done = 0;
  while (done < bytes.size()) {
    const size_t n = std::min<size_t>(bytes.size() - done, 1u << 30);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data() + done), static_cast<uInt>(n));
    done += n;
  }
  return static_cast<uint32_t>(crc);
}

const char* kindWord(Step::Kind kind) {
  switch (kind) {
    case Step::Kind::Aside:
      return "aside";
    case Step::Kind::In:
      return "in";
    case Step::Kind::Carry:
      return "carry";
  }
  return "";
}

// The line from `pos` (without its "\n"); nothing when no whole line is left.
std::optional<std::string_view> nextLine(std::string_view bytes, size_t& pos) {
  const size_t end = bytes.find('\n', pos);
  if (end == std::string_view::npos) return std::nullopt;
  const std::string_view line = bytes.substr(pos, end - pos);
  pos = end + 1;
  return line;
}

}  // namespace

bool isSafeRelative(std::string_view relative) {
  if (relative.empty()) return false;
  size_t start = 0;
  bool first = true;
  while (start <= relative.size()) {
    size_t end = start;
    while (end < relative.size() && !isSeparator(relative[end])) ++end;
    const std::string_view component = relative.substr(start, end - start);
    if (!isSafeComponent(component)) return false;
    if (first && isReservedName(component)) return false;
    first = false;
    if (end == relative.size()) break;
    start = end + 1;
  }
  return true;
}

std::string encodePlan(const Plan& plan) {
  std::string out(kHeader);
  for (const Step& step : plan.steps) {
    if (!isSafeRelative(step.path)) return {};
    out += kindWord(step.kind);
    out += ' ';
    out += encodePath(step.path);
    out += '\n';
  }
  for (const AttributesAfter& a : plan.attributes) {
    if (!isSafeRelative(a.path)) return {};
    out += "attr " + hex8(a.attributes) + ' ' + encodePath(a.path) + '\n';
  }
  const size_t records = plan.steps.size() + plan.attributes.size();
  out += "end " + std::to_string(records) + ' ' + hex8(crcOf(out)) + '\n';
  return out;
}

std::string doneMark(size_t index) {
  return "done " + std::to_string(index) + '\n';
}

std::optional<JournalState> parseJournal(std::string_view bytes) {
  if (!bytes.starts_with(kHeader)) return std::nullopt;
  JournalState state;
  size_t pos = kHeader.size();
  // The plan, up to its end line.
  for (;;) {
    const size_t lineStart = pos;
    const std::optional<std::string_view> line = nextLine(bytes, pos);
    if (!line) return std::nullopt;
    const size_t space = line->find(' ');
    if (space == std::string_view::npos) return std::nullopt;
    const std::string_view word = line->substr(0, space);
    const std::string_view rest = line->substr(space + 1);
    if (word == "end") {
      const size_t second = rest.find(' ');
      if (second == std::string_view::npos) return std::nullopt;
      const std::optional<size_t> records = parseCount(rest.substr(0, second));
      const std::optional<uint32_t> crc = parseHex8(rest.substr(second + 1));
      if (!records || !crc || *records != state.plan.steps.size() + state.plan.attributes.size() ||
          *crc != crcOf(bytes.substr(0, lineStart)))
        return std::nullopt;
      break;
    }
    if (word == "attr") {
      const size_t second = rest.find(' ');
      if (second == std::string_view::npos) return std::nullopt;
      const std::optional<uint32_t> attributes = parseHex8(rest.substr(0, second));
      std::optional<std::string> p = decodePath(rest.substr(second + 1));
      if (!attributes || !p) return std::nullopt;
      state.plan.attributes.push_back({std::move(*p), *attributes});
      continue;
    }
    Step::Kind kind;
    if (word == "aside")
      kind = Step::Kind::Aside;
    else if (word == "in")
      kind = Step::Kind::In;
    else if (word == "carry")
      kind = Step::Kind::Carry;
    else
      return std::nullopt;
    // Steps come before the attributes.
    if (!state.plan.attributes.empty()) return std::nullopt;
    std::optional<std::string> p = decodePath(rest);
    if (!p) return std::nullopt;
    state.plan.steps.push_back({kind, std::move(*p)});
  }
  // The marks: a line cut short by a killed process, or anything that does not read as a mark, ends them.
  while (const std::optional<std::string_view> line = nextLine(bytes, pos)) {
    if (*line == kUndoMark.substr(0, kUndoMark.size() - 1)) {
      state.undo = true;
    } else if (*line == kCommittedMark.substr(0, kCommittedMark.size() - 1)) {
      state.committed = true;
    } else if (line->starts_with("done ")) {
      const std::optional<size_t> index = parseCount(line->substr(5));
      if (!index || *index != state.marked || *index >= state.plan.steps.size()) break;
      ++state.marked;
    } else {
      break;
    }
  }
  return state;
}

}  // namespace qv::install
