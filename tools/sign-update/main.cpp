// sign-update: signs a release of Quorvane.exe for the server's UPdate.ini, and makes key pairs.
//
//   sign-update --new-key PRIVATE.pem
//       makes a key pair; writes the private half to PRIVATE.pem (a new file, readable by you only)
//       and prints the public half for -DQUORVANE_UPDATE_PUBLIC_KEY=...
//   sign-update --public-key PRIVATE.pem
//       prints the public half of an existing key
//   sign-update --key PRIVATE.pem --version N [--output UPdate.ini] PROGRAM.exe
//       prints (or writes whole to --output) the [updataver] section for PROGRAM.exe as version N:
//       ver, size, sha256 and signature
//
// Exit status 0 on success, 1 when something could not be done (the reason on stderr), 2 for a bad
// command line.
#include <charconv>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/error.h"
#include "common/file_system.h"
#include "update_signer.h"

namespace {

int usage() {
  std::fputs(
      "usage: sign-update --new-key PRIVATE.pem\n"
      "       sign-update --public-key PRIVATE.pem\n"
      "       sign-update --key PRIVATE.pem --version N [--output UPdate.ini] PROGRAM.exe\n",
      stderr);
  return 2;
}

std::optional<int32_t> parseVersion(std::string_view text) {
  int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

int run(const std::vector<std::string>& args) {
  using qv::tools::SigningKey;
  if (args.size() == 2 && args[0] == "--new-key") {
    std::printf("%s\n", SigningKey::generate(args[1]).publicKeyText().c_str());
    return 0;
  }
  if (args.size() == 2 && args[0] == "--public-key") {
    std::printf("%s\n", SigningKey::load(args[1]).publicKeyText().c_str());
    return 0;
  }
  std::string keyPath, output, program;
  std::optional<int32_t> version;
  for (size_t i = 0; i < args.size(); ++i) {
    const bool hasValue = i + 1 < args.size();
    if (args[i] == "--key" && hasValue) {
      keyPath = args[++i];
    } else if (args[i] == "--version" && hasValue) {
      version = parseVersion(args[++i]);
      if (!version) return usage();
    } else if (args[i] == "--output" && hasValue) {
      output = args[++i];
    } else if (program.empty() && !args[i].starts_with("--")) {
      program = args[i];
    } else {
      return usage();
    }
  }
  if (keyPath.empty() || !version || program.empty()) return usage();
  const std::string section = qv::tools::signedVersionSection(SigningKey::load(keyPath), *version, program);
  if (output.empty()) {
    std::fputs(section.c_str(), stdout);
    return 0;
  }
  if (!qv::files::writeFileReplacing(output, section)) throw qv::Error("cannot write " + output);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return run(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "sign-update: %s\n", e.what());
    return 1;
  }
}
