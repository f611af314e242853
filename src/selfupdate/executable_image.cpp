#include "selfupdate/executable_image.h"

#include "common/file_system.h"
#include "common/little_endian.h"

namespace qv::selfupdate {

namespace {

// Offsets and values of the PE format (Microsoft's "PE Format" specification).
constexpr uint32_t kDosLfanew = 0x3C;
constexpr uint32_t kFileHeaderSize = 20;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kExecutableImage = 0x0002;
constexpr uint16_t kDll = 0x2000;
constexpr uint16_t kPe32Plus = 0x20B;
constexpr uint16_t kSubsystemWindowsGui = 2;
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kSymbolSize = 18;
constexpr uint16_t kMaxSections = 96;
// PE32+ optional header: the fixed fields end at 112, the data directories follow.
constexpr uint32_t kOptionalFixedSize = 112;
constexpr uint32_t kOptEntryPoint = 16;
constexpr uint32_t kOptSectionAlignment = 32;
constexpr uint32_t kOptFileAlignment = 36;
constexpr uint32_t kOptSizeOfImage = 56;
constexpr uint32_t kOptSizeOfHeaders = 60;
constexpr uint32_t kOptSubsystem = 68;
constexpr uint32_t kOptNumberOfRvaAndSizes = 108;
constexpr uint32_t kSecurityDirectory = 4;  // its "address" is a file offset, not an RVA
// The file alignment's range, and the page size below which sections must sit in memory as in the file.
constexpr uint32_t kMinFileAlignment = 512;
constexpr uint32_t kMaxFileAlignment = 64 * 1024;
constexpr uint32_t kPageSize = 4096;

bool isPowerOfTwo(uint32_t v) {
  return v != 0 && (v & (v - 1)) == 0;
}

// What the loader demands of the optional header before it maps anything.
bool loaderTakes(uint32_t entryPoint, uint32_t sectionAlignment, uint32_t fileAlignment, uint32_t sizeOfImage,
                 uint32_t sizeOfHeaders) {
  if (!isPowerOfTwo(fileAlignment) || fileAlignment < kMinFileAlignment || fileAlignment > kMaxFileAlignment)
    return false;
  if (!isPowerOfTwo(sectionAlignment) || sectionAlignment < fileAlignment) return false;
  if (sectionAlignment < kPageSize && sectionAlignment != fileAlignment) return false;
  if (sizeOfImage < sizeOfHeaders) return false;
  // A program starts somewhere inside itself, and not at its first byte (0 means "no entry point").
  return entryPoint != 0 && entryPoint < sizeOfImage;
}

// Little-endian reads that say whether the bytes were there.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : b_(bytes) {}
  uint64_t size() const { return b_.size(); }
  bool has(uint64_t offset, uint64_t length) const {
    return offset <= b_.size() && length <= b_.size() - offset;
  }
  uint16_t u16(uint64_t o) const { return le16(at(o)); }
  uint32_t u32(uint64_t o) const { return le32(at(o)); }

 private:
  const uint8_t* at(uint64_t o) const { return reinterpret_cast<const uint8_t*>(b_.data()) + o; }
  std::string_view b_;
};

}  // namespace

ImageVerdict checkProgramImage(std::string_view bytes) {
  const Reader r(bytes);
  if (!r.has(0, 64) || bytes[0] != 'M' || bytes[1] != 'Z') return ImageVerdict::NotAnExecutable;
  const uint64_t pe = r.u32(kDosLfanew);
  if (!r.has(pe, 4 + kFileHeaderSize)) return ImageVerdict::Truncated;
  if (bytes.substr(static_cast<size_t>(pe), 4) != std::string_view("PE\0\0", 4))
    return ImageVerdict::NotAnExecutable;

  const uint64_t fileHeader = pe + 4;
  const uint16_t machine = r.u16(fileHeader);
  const uint16_t sections = r.u16(fileHeader + 2);
  const uint32_t symbolTable = r.u32(fileHeader + 8);
  const uint32_t symbols = r.u32(fileHeader + 12);
  const uint16_t optionalSize = r.u16(fileHeader + 16);
  const uint16_t characteristics = r.u16(fileHeader + 18);
  if (!(characteristics & kExecutableImage) || (characteristics & kDll)) return ImageVerdict::NotAnExecutable;
  if (machine != kMachineAmd64) return ImageVerdict::WrongMachine;

  const uint64_t optional = fileHeader + kFileHeaderSize;
  if (!r.has(optional, 2)) return ImageVerdict::Truncated;
  if (r.u16(optional) != kPe32Plus) return ImageVerdict::WrongMachine;
  if (optionalSize < kOptionalFixedSize) return ImageVerdict::NotAnExecutable;
  if (!r.has(optional, optionalSize)) return ImageVerdict::Truncated;
  if (r.u16(optional + kOptSubsystem) != kSubsystemWindowsGui) return ImageVerdict::NotAGuiProgram;
  if (r.u32(optional + kOptSizeOfImage) == 0) return ImageVerdict::NotAnExecutable;
  if (!r.has(0, r.u32(optional + kOptSizeOfHeaders))) return ImageVerdict::Truncated;
  if (!loaderTakes(r.u32(optional + kOptEntryPoint), r.u32(optional + kOptSectionAlignment),
                   r.u32(optional + kOptFileAlignment), r.u32(optional + kOptSizeOfImage),
                   r.u32(optional + kOptSizeOfHeaders)))
    return ImageVerdict::Unloadable;

  if (sections == 0 || sections > kMaxSections) return ImageVerdict::NotAnExecutable;
  const uint64_t table = optional + optionalSize;
  if (!r.has(table, uint64_t{sections} * kSectionHeaderSize)) return ImageVerdict::Truncated;
  for (uint16_t i = 0; i < sections; ++i) {
    const uint64_t header = table + uint64_t{i} * kSectionHeaderSize;
    const uint32_t rawSize = r.u32(header + 16);
    const uint32_t rawOffset = r.u32(header + 20);
    if (rawSize != 0 && !r.has(rawOffset, rawSize)) return ImageVerdict::Truncated;
  }

  // What else the headers place in the file: the COFF symbols with their string table, and the
  // signature. A cut that falls there leaves a file that still fails to match what was published.
  if (symbolTable != 0) {
    const uint64_t strings = symbolTable + uint64_t{symbols} * kSymbolSize;
    if (!r.has(strings, 4) || !r.has(strings, r.u32(strings))) return ImageVerdict::Truncated;
  }
  const uint32_t directories = r.u32(optional + kOptNumberOfRvaAndSizes);
  const uint64_t security = optional + kOptionalFixedSize + uint64_t{kSecurityDirectory} * 8;
  if (directories > kSecurityDirectory && security + 8 <= optional + optionalSize) {
    const uint32_t offset = r.u32(security);
    const uint32_t length = r.u32(security + 4);
    if (length != 0 && !r.has(offset, length)) return ImageVerdict::Truncated;
  }
  return ImageVerdict::Ok;
}

ImageVerdict checkProgramFile(const std::string& path) {
  const int64_t size = files::fileSize(path);
  if (size < 0) return ImageVerdict::NotAnExecutable;
  if (size > kMaxImageBytes) return ImageVerdict::TooLarge;
  std::string bytes;
  if (!files::readFile(path, bytes)) return ImageVerdict::NotAnExecutable;
  return checkProgramImage(bytes);
}

}  // namespace qv::selfupdate
