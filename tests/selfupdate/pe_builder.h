#pragma once
// Small Windows executables built byte by byte, with a knob for each header field the image check
// looks at: an x86-64 GUI program by default, two sections of 512 bytes each.
#include <cstdint>
#include <string>

namespace qv::test {

struct PeSpec {
  uint16_t machine = 0x8664;
  uint16_t magic = 0x20B;             // PE32+
  uint16_t subsystem = 2;             // Windows GUI
  uint16_t characteristics = 0x0022;  // executable, large-address aware
  uint16_t sections = 2;
  uint32_t lfanew = 0x80;
  uint32_t entryPoint = 0x1010;
  uint32_t sectionAlignment = 0x1000;
  uint32_t fileAlignment = 0x200;
  uint32_t sizeOfImage = 0x3000;
  bool symbols = false;      // a COFF symbol table and its string table after the sections
  bool certificate = false;  // a signature blob after everything else
};

struct PeLayout {
  static constexpr uint32_t kOptionalSize = 240;  // PE32+ fixed part and 16 data directories
  static constexpr uint32_t kHeaders = 0x200;
  static constexpr uint32_t kSectionSize = 0x200;
};

inline void putU16(std::string& b, size_t at, uint16_t v) {
  if (b.size() < at + 2) b.resize(at + 2, '\0');
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void putU32(std::string& b, size_t at, uint32_t v) {
  putU16(b, at, static_cast<uint16_t>(v & 0xFFFF));
  putU16(b, at + 2, static_cast<uint16_t>(v >> 16));
}

// Offsets into the image buildPe makes, for cases that break one field.
inline size_t fileHeaderAt(const PeSpec& s) {
  return s.lfanew + 4;
}
inline size_t optionalHeaderAt(const PeSpec& s) {
  return fileHeaderAt(s) + 20;
}
inline size_t sectionTableAt(const PeSpec& s) {
  return optionalHeaderAt(s) + PeLayout::kOptionalSize;
}

inline std::string buildPe(const PeSpec& s = {}) {
  std::string b(PeLayout::kHeaders, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  putU32(b, 0x3C, s.lfanew);
  b.replace(s.lfanew, 4, std::string("PE\0\0", 4));
  const size_t fh = fileHeaderAt(s);
  putU16(b, fh, s.machine);
  putU16(b, fh + 2, s.sections);
  putU16(b, fh + 16, PeLayout::kOptionalSize);
  putU16(b, fh + 18, s.characteristics);
  const size_t oh = optionalHeaderAt(s);
  putU16(b, oh, s.magic);
  putU32(b, oh + 16, s.entryPoint);
  putU32(b, oh + 32, s.sectionAlignment);
  putU32(b, oh + 36, s.fileAlignment);
  putU32(b, oh + 56, s.sizeOfImage);
  putU32(b, oh + 60, PeLayout::kHeaders);
  putU16(b, oh + 68, s.subsystem);
  putU32(b, oh + 108, 16);  // data directories
  const size_t table = sectionTableAt(s);
  uint32_t raw = PeLayout::kHeaders;
  for (uint16_t i = 0; i < s.sections && i < 4; ++i) {
    const size_t h = table + i * 40u;
    b.replace(h, 8, i == 0 ? std::string(".text\0\0\0", 8) : std::string(".data\0\0\0", 8));
    putU32(b, h + 8, PeLayout::kSectionSize);   // virtual size
    putU32(b, h + 12, 0x1000 * (i + 1u));       // virtual address
    putU32(b, h + 16, PeLayout::kSectionSize);  // raw size
    putU32(b, h + 20, raw);                     // raw offset
    raw += PeLayout::kSectionSize;
  }
  b.resize(raw, '\0');
  for (size_t i = PeLayout::kHeaders; i < b.size(); ++i) b[i] = static_cast<char>(0x90 + i % 7);
  if (s.symbols) {
    putU32(b, fh + 8, static_cast<uint32_t>(b.size()));
    putU32(b, fh + 12, 3);
    b.append(3 * 18, 's');
    const size_t strings = b.size();
    putU32(b, strings, 12);  // the string table's length counts its own four bytes
    b.replace(strings + 4, 8, "name\0ab\0", 8);
  }
  if (s.certificate) {
    const size_t at = b.size();
    putU32(b, oh + 112 + 4 * 8, static_cast<uint32_t>(at));
    putU32(b, oh + 112 + 4 * 8 + 4, 0x100);
    b.append(0x100, 'c');
  }
  return b;
}

}  // namespace qv::test
