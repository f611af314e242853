#pragma once
// The start-up pass's last step: reads the version file the show step fetched and decides whether the
// server offers another release, and whether the publisher signed it.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/resource_bounds.h"
#include "platform/services.h"
#include "selfupdate/release_signature.h"

namespace qv::selfupdate {

struct VersionCheck {
  enum class Offer {
    NoFile,    // not downloaded yet, or the download failed: nothing to say, nothing changes
    Same,      // the server's number is the installed one
    Unsigned,  // another number without a valid signature for it: no update at all
    Signed,    // another number the publisher signed: fetch the program
  };
  Offer offer = Offer::NoFile;
  // The version file's number (0 when it has none); unset with NoFile.
  int32_t serverVersion = 0;
  // What was signed for serverVersion; set with Signed only.
  std::optional<SignedRelease> release;
};

// Any difference counts, a lower number too: the server may take a release back. Only what the
// publisher signed (with `publicKeyText`) for this very number is offered.
VersionCheck checkVersionFile(const std::string& versionFile, int32_t installedVersion,
                              const std::string& publicKeyText, const platform::Codec& codec,
                              const platform::FileStamps& stamps, const platform::Crypto& crypto);

// The program transfer's bounds: the signature names the program's size, so a body longer than that
// is not the signed program.
platform::TransferBounds programBounds(const SignedRelease& release);

}  // namespace qv::selfupdate
