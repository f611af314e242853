// qv-unzip [-O CODEPAGE] ARCHIVE DESTDIR   extract as the install command does; prints the number
//                                          of entries extracted
// qv-unzip [-O CODEPAGE] --list ARCHIVE    one line per entry: method, sizes, CRC, date, name
// Names without the UTF-8 flag are read in CODEPAGE (default 950, the code page of the program's
// target machines), so the command extracts exactly as the installer does there.
// Exit status: 0 the extraction ran to its end, 1 it failed (the reason on stderr), 2 bad command
// line. Entries that were not extracted are listed on stderr with the reason.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "unzip/unzip.h"
#include "unzip/unzip_file.h"
#include "unzip/zip_errors.h"

namespace {

constexpr unsigned kDefaultCodePage = 950;

int usage(const std::string& problem) {
  std::cerr << "qv-unzip: " << problem << "\n"
            << "usage: qv-unzip [-O CODEPAGE] ARCHIVE DESTDIR\n"
               "       qv-unzip [-O CODEPAGE] --list ARCHIVE\n";
  return 2;
}

int engineMessage(const std::string& text, const std::string& caption, unsigned) {
  std::cerr << "qv-unzip: " << caption << ": " << text << '\n';
  return qv::unzip::mb::kIdOk;
}

// Entry names as other tools print them: "/" between the parts, not the archive's "\".
std::string slashed(std::string name) {
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

void list(const std::string& archive, const qv::platform::Codec& codec, qv::platform::FileStamps& stamps) {
  qv::unzip::TUnZip unzip(codec, stamps, engineMessage);
  unzip.setZipName(archive);
  unzip.ReadDirectory();
  if (!unzip.directoryValid()) throw qv::unzip::EIncompleteZip();
  for (int i = 0; i < unzip.Count(); ++i) {
    const qv::unzip::TZipHeaderInfo& e = unzip.Entry(i);
    const uint32_t dt = e.last_mod_file_date_time;
    const std::string name = slashed(e.directory + e.filename);
    std::printf("%u\t%llu\t%llu\t%08x\t%04u-%02u-%02u %02u:%02u:%02u\t%s\n", e.compression_method,
                static_cast<unsigned long long>(e.compressedSize()),
                static_cast<unsigned long long>(e.uncompressedSize()), e.crc32, ((dt >> 25) & 0x7F) + 1980,
                (dt >> 21) & 0x0F, (dt >> 16) & 0x1F, (dt >> 11) & 0x1F, (dt >> 5) & 0x3F, (dt & 0x1F) * 2,
                name.c_str());
  }
}

bool parseCodePage(const std::string& text, unsigned& codePage) {
  if (text.empty() || text.size() > 5 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  codePage = static_cast<unsigned>(std::stoul(text));
  return codePage > 0 && qv::platform::headless::IconvCodec::knows(codePage);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  unsigned codePage = kDefaultCodePage;
  if (args.size() >= 2 && args[0] == "-O") {
    if (!parseCodePage(args[1], codePage)) return usage("unknown code page \"" + args[1] + "\"");
    args.erase(args.begin(), args.begin() + 2);
  }
  const bool listing = !args.empty() && args[0] == "--list";
  if (args.size() != 2) return usage("wrong number of arguments");

  // The names' code pages as on the target machines: MS-DOS hosts' names in the OEM page, the others'
  // in the ANSI page, both the one given.
  qv::platform::headless::IconvCodec codec(codePage, codePage);
  qv::platform::headless::PosixFileStamps stamps;
  int extracted = 0;
  try {
    if (listing) {
      list(args[1], codec, stamps);
      return 0;
    }
    qv::unzip::UnZipReport report;
    const bool ok =
        qv::unzip::UnZipFile(args[0], args[1], {codec, stamps, engineMessage, {}}, &extracted, &report);
    for (const std::string& entry : report.notExtracted)
      std::cerr << "qv-unzip: not extracted: " << slashed(entry) << '\n';
    std::printf("%d\n", extracted);
    if (!ok) {
      std::cerr << "qv-unzip: " << report.failure << '\n';
      return 1;
    }
    return 0;
  } catch (const std::exception& e) {
    if (!listing) std::printf("%d\n", extracted);
    std::cerr << "qv-unzip: " << e.what() << '\n';
    return 1;
  }
}
