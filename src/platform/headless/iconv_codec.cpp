#include "platform/headless/iconv_codec.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>
#include <clocale>
#include <cstring>
#include <string>

#include "common/text.h"

namespace qv::platform::headless {

namespace {

std::string iconvName(unsigned codePage) {
  switch (codePage) {
    case kUtf8CodePage:
      return "UTF-8";
    case 950:
      return "BIG5";
    case 936:
      return "GBK";
    case 932:
      return "CP932";
    case 949:
      return "CP949";
    case 1252:
      return "CP1252";
    default:
      return "CP" + std::to_string(codePage);
  }
}

unsigned localeCodePage() {
  std::setlocale(LC_CTYPE, "");
  const char* set = nl_langinfo(CODESET);
  if (set && (std::strcmp(set, "UTF-8") == 0 || std::strcmp(set, "utf8") == 0)) return kUtf8CodePage;
  if (set && std::strcmp(set, "BIG5") == 0) return 950;
  // The C locale's ASCII is best served by UTF-8, which is a superset of it.
  return kUtf8CodePage;
}

class IconvHandle {
 public:
  IconvHandle(const std::string& to, const std::string& from) : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Converts with a replacement for every unconvertible or invalid input sequence. `step` tells how many
// input bytes to skip on an invalid one.
template <typename Step>
std::string convert(const std::string& to, const std::string& from, std::string_view in, const char* replacement,
                    Step step) {
  IconvHandle cd(to, from);
  if (!cd.valid()) return std::string(in);
  std::string out;
  out.reserve(in.size() * 2 + 8);
  const char* src = in.data();
  size_t left = in.size();
  char buf[4096];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    char* srcMutable = const_cast<char*>(src);
    const size_t r = iconv(cd.get(), &srcMutable, &left, &dst, &room);
    out.append(buf, static_cast<size_t>(dst - buf));
    src = srcMutable;
    if (r == static_cast<size_t>(-1)) {
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL: replace one unit and go on.
      const size_t skip = std::max<size_t>(1, std::min(left, step(std::string_view(src, left))));
      src += skip;
      left -= skip;
      out += replacement;
      iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  return out;
}

size_t utf8Step(std::string_view rest) {
  const unsigned char c = static_cast<unsigned char>(rest[0]);
  size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
  for (size_t i = 1; i < n; ++i)
    if (i >= rest.size() || (static_cast<unsigned char>(rest[i]) & 0xC0) != 0x80) return i;
  return n;
}

// The lead bytes of the double-byte code pages, as Windows defines them.
bool isLeadByte(unsigned codePage, unsigned char c) {
  switch (codePage) {
    case 932:
      return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
    case 936:
    case 949:
    case 950:
      return c >= 0x81 && c <= 0xFE;
    default:
      return false;
  }
}

// An unconvertible character of a double-byte code page is its lead byte and the trail byte after it,
// taken as one: replacing the lead byte alone would leave a trail byte of 0x5C to stand as "\" (GBK
// names read as Big5, or pairs the code page leaves unassigned). Trail bytes start at 0x40.
size_t codePageStep(unsigned codePage, std::string_view rest) {
  if (rest.size() >= 2 && isLeadByte(codePage, static_cast<unsigned char>(rest[0])) &&
      static_cast<unsigned char>(rest[1]) >= 0x40)
    return 2;
  return 1;
}

}  // namespace

IconvCodec::IconvCodec() : ansi_(localeCodePage()), oem_(localeCodePage()) {}

bool IconvCodec::knows(unsigned codePage) {
  return codePage == kUtf8CodePage || IconvHandle("UTF-8", iconvName(codePage)).valid();
}

IconvCodec::IconvCodec(unsigned ansiCodePage, unsigned oemCodePage) : ansi_(ansiCodePage), oem_(oemCodePage) {}

std::string IconvCodec::utf8ToCodePage(unsigned codePage, std::string_view utf8) const {
  if (codePage == kUtf8CodePage) return std::string(utf8);
  return convert(iconvName(codePage), "UTF-8", utf8, "?", utf8Step);
}

bool IconvCodec::convertsWithoutLoss(unsigned codePage, std::string_view utf8) const {
  if (codePage == kUtf8CodePage) return text::utf32ToUtf8(text::utf8ToUtf32(utf8)) == utf8;
  IconvHandle cd(iconvName(codePage), "UTF-8");
  if (!cd.valid()) return false;
  // Without //TRANSLIT iconv substitutes nothing: a character the code page lacks, like a byte that
  // is not UTF-8, stops the conversion.
  char* src = const_cast<char*>(utf8.data());
  size_t left = utf8.size();
  char buf[4096];
  while (left > 0) {
    char* dst = buf;
    size_t room = sizeof buf;
    if (iconv(cd.get(), &src, &left, &dst, &room) == static_cast<size_t>(-1) && errno != E2BIG) return false;
  }
  return true;
}

std::string IconvCodec::codePageToUtf8(unsigned codePage, std::string_view bytes) const {
  if (codePage == kUtf8CodePage) return text::utf32ToUtf8(text::utf8ToUtf32(bytes));
  return convert("UTF-8", iconvName(codePage), bytes, "\xEF\xBF\xBD",
                 [codePage](std::string_view rest) { return codePageStep(codePage, rest); });
}

}  // namespace qv::platform::headless
