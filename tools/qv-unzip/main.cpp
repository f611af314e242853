// qv-unzip ARCHIVE DESTDIR     extract as the install command does; prints the number extracted
// qv-unzip --list ARCHIVE      one line per entry: method, sizes, CRC, date, name
// Exit status: 0 extraction finished, 1 extraction failed, 2 an error escaped (message on stderr).
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>

#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "unzip/unzip.h"
#include "unzip/unzip_file.h"
#include "unzip/zip_errors.h"

namespace {

int usage() {
  std::cerr << "usage: qv-unzip ARCHIVE DESTDIR\n       qv-unzip --list ARCHIVE\n";
  return 2;
}

int engineMessage(const std::string& text, const std::string& caption, unsigned) {
  std::cerr << caption << ": " << text << '\n';
  return qv::unzip::mb::kIdOk;
}

void list(const std::string& archive, const qv::platform::Codec& codec, qv::platform::FileStamps& stamps) {
  qv::unzip::TUnZip unzip(codec, stamps, engineMessage);
  unzip.setZipName(archive);
  unzip.ReadDirectory();
  if (!unzip.directoryValid()) throw qv::unzip::EIncompleteZip();
  for (int i = 0; i < unzip.Count(); ++i) {
    const qv::unzip::TZipHeaderInfo& e = unzip.Entry(i);
    const uint32_t dt = e.last_mod_file_date_time;
    std::string name = e.directory + e.filename;
    for (char& c : name)
      if (c == '\\') c = '/';
    std::printf("%u\t%llu\t%llu\t%08x\t%04u-%02u-%02u %02u:%02u:%02u\t%s\n", e.compression_method,
                static_cast<unsigned long long>(e.compressedSize()), static_cast<unsigned long long>(e.uncompressedSize()),
                e.crc32, ((dt >> 25) & 0x7F) + 1980, (dt >> 21) & 0x0F, (dt >> 16) & 0x1F, (dt >> 11) & 0x1F,
                (dt >> 5) & 0x3F, (dt & 0x1F) * 2, name.c_str());
  }
}

}  // namespace

int main(int argc, char** argv) {
  qv::platform::headless::IconvCodec codec;
  qv::platform::headless::PosixFileStamps stamps;
  try {
    if (argc == 3 && std::string(argv[1]) == "--list") {
      list(argv[2], codec, stamps);
      return 0;
    }
    if (argc != 3) return usage();
    int extracted = 0;
    const bool ok = qv::unzip::UnZipFile(argv[1], argv[2], {codec, stamps, engineMessage, {}}, &extracted);
    std::printf("%d\n", extracted);
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::cerr << "qv-unzip: " << e.what() << '\n';
    return 2;
  }
}
