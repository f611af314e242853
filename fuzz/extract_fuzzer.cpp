// The whole extraction, as the install command runs it, on hostile bytes written to a file in a
// scratch directory. Whatever the archive says, nothing may appear outside the destination, no link
// may be created, and the run must end.
#include <filesystem>

#include "fuzz_support.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "unzip/unzip_file.h"

namespace {

namespace fs = std::filesystem;

struct Sandbox {
  qv::fuzz::ScratchDirectory root{"qv-fuzz-extract"};
  // The archive and the destination live one level down, so a name that climbs out of the
  // destination lands where the check below sees it.
  fs::path box = root.path() / "box";
  std::string zip = (box / "archive.zip").string();
  std::string out = (box / "out").string();
  Sandbox() { fs::create_directories(box); }
};

// Everything below the scratch root that is not the archive or inside the destination.
void checkNothingOutside(const Sandbox& s) {
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(s.root.path(), ec);
       !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::path& p = it->path();
    qv::fuzz::require(!it->is_symlink(), "the extraction created a link");
    if (p == s.box || p.string() == s.zip || p.string() == s.out) continue;
    const std::string rel = p.string().substr(s.out.size());
    qv::fuzz::require(p.string().starts_with(s.out) && rel.starts_with("/"),
                      "a file appeared outside the destination");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Sandbox sandbox;
  static const qv::platform::headless::IconvCodec codec(950, 950);
  static qv::platform::headless::PosixFileStamps stamps;
  qv::fuzz::writeFile(sandbox.zip, data, size);
  int count = 0;
  try {
    qv::unzip::UnZipFile(sandbox.zip, sandbox.out, {codec, stamps, {}, {}}, &count);
  } catch (const std::exception&) {
    // Errors reading the directory leave UnZipFile on purpose.
  }
  checkNothingOutside(sandbox);
  std::error_code ec;
  fs::remove_all(sandbox.out, ec);
  qv::fuzz::require(!ec, "the destination could not be cleared");
  return 0;
}
