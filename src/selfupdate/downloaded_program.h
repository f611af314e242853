#pragma once
// The gates a downloaded program passes before it may replace the running one: first it must be
// exactly what the publisher signed (size and SHA-256), then a whole program for this machine that the
// system's loader would run.
#include <optional>
#include <string>

#include "platform/crypto.h"
#include "selfupdate/executable_image.h"
#include "selfupdate/release_signature.h"

namespace qv::selfupdate {

enum class DownloadVerdict {
  Ok,
  NotSigned,    // no verified release awaits a download
  NotAsSigned,  // another size or another digest than the signed ones (or unreadable)
  NotAProgram,  // as signed, yet no program the loader would run
};

struct DownloadedProgram {
  DownloadVerdict verdict = DownloadVerdict::NotSigned;
  ImageVerdict image = ImageVerdict::NotAnExecutable;
  // The bytes that passed every gate (empty otherwise): the swap writes these very bytes, so nothing
  // can change between the check and the copy.
  std::string bytes;
  // What they were checked against.
  SignedRelease release;
};

// Reads and checks the downloaded program at `path` against the release the version file announced.
DownloadedProgram checkDownloadedProgram(const std::string& path, const std::optional<SignedRelease>& awaited,
                                         const platform::Crypto& crypto);

}  // namespace qv::selfupdate
