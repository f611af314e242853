// The settings file reader and writer on any bytes a damaged or hand-edited Config.ini can hold. Every
// key the program reads is read; then a value written must read back as written, whatever else the
// file holds.
#include "common/text.h"
#include "fuzz_support.h"
#include "platform/headless/iconv_codec.h"
#include "platform/headless/posix_file_stamps.h"
#include "settings/private_profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static qv::fuzz::ScratchDirectory scratch("qv-fuzz-profile");
  static const qv::platform::headless::IconvCodec codec(950, 950);
  static qv::platform::headless::PosixFileStamps stamps;
  const std::string path = scratch.file("Config.ini");
  qv::fuzz::writeFile(path, data, size);
  qv::settings::PrivateProfile profile(path, codec, stamps);

  const std::string gamePath = profile.readString("game", "gamepath", "");
  qv::fuzz::require(qv::text::utf8ToUtf32(gamePath).size() <= qv::settings::PrivateProfile::kMaxValueLength,
                    "a value longer than a read returns");
  profile.readBool("updata", "autoupdata", false);
  profile.readInteger("updata", "num", 0);
  profile.readInteger("updataver", "ver", 0);
  int32_t parsed = 0;
  qv::settings::parseProfileInteger(std::string(reinterpret_cast<const char*>(data), size), parsed);

  const std::string chosen = "D:\\遊戲\\劍網3\\JX3Client.exe";
  try {
    profile.writeString("game", "gamepath", chosen);
    profile.writeInteger("updataver", "ver", 1234);
  } catch (const qv::settings::IniWriteError&) {
    qv::fuzz::finding("a plain settings file could not be written");
  }
  qv::fuzz::require(profile.readString("game", "gamepath", "") == chosen,
                    "a written path does not read back");
  qv::fuzz::require(profile.readInteger("updataver", "ver", 0) == 1234,
                    "a written number does not read back");
  return 0;
}
